# Unit test sources that need POSIX and so stay out of the Windows build (run under Wine). Everything
# else in the unit tests runs there too. Paths are relative to tests/.

# They start the real executables, the stand-in service or shell-script stub players, and watch them
# through POSIX processes, signals, descriptors and sockets (tests/support/child_process.h and friends).
set(QUORVANE_POSIX_ONLY_TESTS
  app/clock_set_back_test.cpp        # libfaketime
  app/https_start_test.cpp
  app/service_notifier_test.cpp      # systemd's notification socket
  app/service_process_test.cpp
  app/start_app_test.cpp
  app/start_up_storage_test.cpp
  audio/alsa_file_sink_test.cpp
  audio/linux_file_player_test.cpp
  audio/player_children_test.cpp
  audio/spoken_sentence_test.cpp     # a shell-script espeak-ng
  core/file_io_test.cpp              # close-on-exec flags of descriptors
  scheduling/journal_test.cpp
  remote/api_test.cpp                # the service double listens with POSIX sockets
  remote/api_tls_test.cpp
  remote/standin_test.cpp
  remote/alert_delivery_test.cpp     # its webhook receiver and SMTP stand-in listen with POSIX sockets
  web/alert_endpoints_test.cpp
  scheduling/calendar_sync_test.cpp)

# The whole-server tests speak raw HTTP through POSIX sockets (tests/web/web_test_server.h).
foreach(source backup_endpoints config_endpoints day_adjustment_endpoints durable_answers factory_signal_restore
               https journal_endpoints malformed_requests password_storage plan_endpoints player_under_attack
               refused_changes revisions sessions target_endpoints timetable_sharing web_frame emergency_endpoints
               web_hardening web_startup metrics_endpoint)
  list(APPEND QUORVANE_POSIX_ONLY_TESTS web/${source}_test.cpp)
endforeach()

list(APPEND QUORVANE_POSIX_ONLY_TESTS
  core/clock_test.cpp)               # names IANA time zones, which the Windows C runtime does not read

# Test support that only the tests above use.
set(QUORVANE_POSIX_ONLY_SUPPORT
  support/child_process.cpp support/notify_socket.cpp support/player_service.cpp
  support/raw_http_client.cpp support/tls_test_pair.cpp)

// Decoding of stored records and of records sent by the browser. Any text either fails with a decoding
// error or gives a record whose written text is a client-acceptable record equal to it: what is stored
// always loads again, and writing is stable.
#include "fuzz_input.h"
#include "model/db.h"
#include "model/errors.h"
#include "storage/shadow.h"

namespace {

using namespace quorvane;

template <Record R>
void roundTrip(const std::string& text, bool stored) {
    R first;
    try {
        Repairs repairs;
        first = stored ? from_dict<R>(parseStoredJson(text), &repairs) : from_json<R>(text);
    } catch (const DecodeError&) {
        return;  // refused: the expected answer to most texts
    }
    const std::string written = to_json(first);
    R second;
    try {
        second = from_json<R>(written);
    } catch (const DecodeError& error) {
        fuzz::broken("a written record decodes again", written + "\n" + error.what());
    }
    fuzz::require(second == first, "decode(encode(record)) equals the record", written);
    fuzz::require(fingerprint(second) == fingerprint(first), "equal records have equal fingerprints", written);
    fuzz::require(to_json(second) == written, "writing is stable", written);
    for (const char c : written) fuzz::require(c >= 0x20 && c < 0x7F, "the written text is printable ASCII", written);
}

}  // namespace

// The first byte picks the record and whether the text is read as a stored file (repairing numbers out of
// bounds) or as a client's body (refusing them).
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::string text = fuzz::inputText(data + 1, size - 1);
    switch (data[0] % 6) {
        case 0: roundTrip<DB>(text, true); break;
        case 1: roundTrip<Cache>(text, true); break;
        case 2: roundTrip<Shadow>(text, true); break;
        case 3: roundTrip<TimeTable>(text, false); break;
        case 4: roundTrip<Settings>(text, false); break;
        case 5: roundTrip<CalendarRegion>(text, false); break;
    }
    return 0;
}

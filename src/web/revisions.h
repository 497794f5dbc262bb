#pragma once
// Revisions of the records a browser edits (each timetable, the settings), so that a change made against
// an older view is refused instead of silently undoing another browser's change.
//
// A revision is the record's content fingerprint: nothing is stored, it changes exactly when the content
// changes, and a record saved unchanged keeps it. Answers that carry one record send it as ETag; a change
// names the revision it was made against with If-Match.
#include <optional>
#include <string>

#include "http/headers.h"
#include "model/record.h"
#include "web/reply.h"

namespace quorvane::web {

// 16 lowercase hexadecimal digits.
std::string revisionText(Fingerprint content);

template <Record R>
std::string revisionOf(const R& record) {
    return revisionText(fingerprint(record));
}

// The 409 answer when the request's If-Match names no current revision; absent when the change may go on:
// no If-Match (scripts, older browsers), "*", or the current revision among the entity-tags named. Anything
// else (a weak or malformed tag, an empty field) matches nothing. Call it under the state lock that also
// makes the change, with the record's revision as it is now, so that nothing comes between them.
std::optional<Reply> staleRevisionRefusal(const http::Headers& headers, const std::string& current);

// The reply with the record's revision as its ETag.
Reply withRevision(Reply reply, const std::string& revision);

}  // namespace quorvane::web

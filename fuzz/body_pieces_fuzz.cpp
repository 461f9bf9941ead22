// A post body cut into pieces the way a long one is, each piece cleaned on its own and the
// pieces joined, judged by a reader of its own (a fresh gumbo parse): wherever the cuts fall,
// the joined body holds only allowed elements, attributes and addresses, and parses to the same
// tree when written out and parsed again, so no piece reaches into the next. The first byte
// sets the length of a piece (16 to 64 units), so that short inputs are cut too, and how many
// units at a time the same body is read when it is cut as it comes, which must cut it the same.

#include "fuzz/fuzz_input.h"
#include "offline/body_clean.h"
#include "offline/body_pieces.h"
#include "platform/text.h"
#include "tests/support/html_reader.h"

#include <algorithm>
#include <string>

namespace {

constexpr std::string_view post = "http://hi.baidu.com/u/blog/item/1.html";
constexpr std::size_t most_bytes = 1024;

std::string on_the_web(const offline::CleanBody& body) {
    return offline::RenderBody(body, {[](const std::string& address) { return address; },
                                      [](const std::string&) { return std::nullopt; }});
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::size_t piece_units = 16 + data[0] % 49;
    // Each piece is parsed several times: a longer body only repeats what a cut can meet.
    const std::u16string body = platform::utf8_to_utf16(std::string_view(
        reinterpret_cast<const char*>(data) + 1, std::min<std::size_t>(size - 1, most_bytes)));
    offline::BodyPieces pieces(body, piece_units);
    // The same body taken as it comes, a few units at a time, is cut the same.
    const std::size_t stretch = 1 + 7 * (data[0] / 49);
    std::size_t read = 0;
    offline::BodyPieces streamed(
        [&](std::u16string& text) {
            if (read >= body.size()) {
                return false;
            }
            text += body.substr(read, stretch);
            read += stretch;
            return true;
        },
        piece_units);
    std::string joined;
    while (const std::optional<std::string> piece = pieces.next()) {
        fuzz::require(streamed.next() == piece, "a body taken as it comes is cut the same");
        joined += on_the_web(offline::CleanPostBody(*piece, post));
    }
    fuzz::require(!streamed.next(), "a body taken as it comes ends with the same piece");
    fuzz::require(check::ForeignMarkup(joined).empty(),
                  "only allowed elements, attributes and addresses");
    fuzz::require(check::TreeDump(joined) == check::TreeDump(check::Reserialized(joined)),
                  "the joined body parses to the same tree again");
    return 0;
}

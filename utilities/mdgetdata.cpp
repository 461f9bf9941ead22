#include "utilities/mdgetdata.h"

#include "platform/codepage.h"
#include "platform/http.h"
#include "platform/text.h"

namespace mdgetdata {

std::u16string FetchPageText(std::u16string_view address) {
    return platform::decode_gbk(platform::http_get(platform::utf16_to_utf8(address)));
}

} // namespace mdgetdata

// The text work on a 1 MiB page: cutting the post out of it and converting it between GBK and
// UTF-16. Throughput counts the page's GBK bytes, the size it has on the wire and on disk.
// ICU's converter, whose mapping the program reads into tables, converts the same page for
// comparison.
//
//   build/bench/text_bench

#include "platform/codepage.h"
#include "utilities/modcut.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <unicode/ucnv.h>

namespace {

constexpr std::size_t page_bytes = 1 << 20;

// Chinese prose in HTML markup, about half of it two-byte characters, like a long post.
constexpr std::u16string_view filler =
    u"<p>今天天气很好，我们一起去公园散步，看见湖边的柳树已经发芽了。</p>\n"
    u"<a href=\"/someone/blog/item/8f3c2d1a0b9e4c7d5a6b1e2f.html\">春天的小路</a>\n";

// The markers the save cuts between come last, as on a real post page.
constexpr std::u16string_view ending =
    u"<div class=\"tit\">查看文章</div><div id=\"blog_text\">正文</div>类别：默认分类</html>";

struct Page {
    std::string gbk;
    std::u16string text;
};

const Page& page() {
    static const Page instance = [] {
        const std::string block = platform::encode_gbk(filler);
        const std::string tail = platform::encode_gbk(ending);
        Page p;
        while (p.gbk.size() + block.size() + tail.size() <= page_bytes) {
            p.gbk += block;
        }
        p.gbk += tail;
        p.text = platform::decode_gbk(p.gbk);
        return p;
    }();
    return instance;
}

void count_page_bytes(benchmark::State& state) {
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(page().gbk.size()));
}

void BM_CutBetween(benchmark::State& state) {
    const std::u16string& text = page().text;
    for (auto _ : state) {
        benchmark::DoNotOptimize(modcut::CutBetween(text, u"查看文章", u"类别"));
    }
    count_page_bytes(state);
}
BENCHMARK(BM_CutBetween)->Unit(benchmark::kMicrosecond);

void BM_DecodeGbk(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(platform::decode_gbk(page().gbk));
    }
    count_page_bytes(state);
}
BENCHMARK(BM_DecodeGbk)->Unit(benchmark::kMicrosecond);

void BM_EncodeGbk(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(platform::encode_gbk(page().text));
    }
    count_page_bytes(state);
}
BENCHMARK(BM_EncodeGbk)->Unit(benchmark::kMicrosecond);

// One character in every 100 is outside GBK (U+20AD, the kip sign) and becomes a reference: the
// slow path.
void BM_EncodeGbkWithReferences(benchmark::State& state) {
    std::u16string text = page().text;
    for (std::size_t i = 50; i + 1 < text.size(); i += 100) {
        text[i] = u'₭';
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(platform::encode_gbk(text));
    }
    count_page_bytes(state);
}
BENCHMARK(BM_EncodeGbkWithReferences)->Unit(benchmark::kMicrosecond);

struct ConverterCloser {
    void operator()(UConverter* converter) const { ucnv_close(converter); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

Converter open_windows_936(benchmark::State& state) {
    UErrorCode status = U_ZERO_ERROR;
    Converter converter(ucnv_open("windows-936-2000", &status));
    if (U_FAILURE(status)) {
        state.SkipWithError(u_errorName(status));
    }
    return converter;
}

void BM_DecodeWithIcuConverter(benchmark::State& state) {
    const Converter converter = open_windows_936(state);
    const std::string& bytes = page().gbk;
    std::u16string text(bytes.size(), u'\0');
    for (auto _ : state) {
        UErrorCode status = U_ZERO_ERROR;
        benchmark::DoNotOptimize(ucnv_toUChars(converter.get(),
                                               reinterpret_cast<UChar*>(text.data()),
                                               static_cast<std::int32_t>(text.size()), bytes.data(),
                                               static_cast<std::int32_t>(bytes.size()), &status));
    }
    count_page_bytes(state);
}
BENCHMARK(BM_DecodeWithIcuConverter)->Unit(benchmark::kMicrosecond);

void BM_EncodeWithIcuConverter(benchmark::State& state) {
    const Converter converter = open_windows_936(state);
    const std::u16string& text = page().text;
    std::string bytes(text.size() * 2, '\0');
    for (auto _ : state) {
        UErrorCode status = U_ZERO_ERROR;
        benchmark::DoNotOptimize(ucnv_fromUChars(converter.get(), bytes.data(),
                                                 static_cast<std::int32_t>(bytes.size()),
                                                 reinterpret_cast<const UChar*>(text.data()),
                                                 static_cast<std::int32_t>(text.size()), &status));
    }
    count_page_bytes(state);
}
BENCHMARK(BM_EncodeWithIcuConverter)->Unit(benchmark::kMicrosecond);

} // namespace

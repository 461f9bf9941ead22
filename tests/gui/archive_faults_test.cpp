// How a harvest and a save through the archive end when the archive pauses them, shuts them out,
// does not answer, or answers its index only in part: one box saying which, and what was
// gathered kept.

#include "tests/gui/form1_fixture.h"

#include "platform/files.h"
#include "platform/text.h"

#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using gui_testing::click;
using gui_testing::files_in;
using Texts = std::vector<std::u16string>;

const std::u16string archived_blog = u"http://web.archive.org/web/2012/http://hi.baidu.com/someone";
constexpr std::u16string_view hint = u"若无法自动获取全部日志，请手动点击[下一页]";
constexpr std::u16string_view unreachable = u"无法连接网页时光机，请检查网络后再试";
constexpr std::u16string_view blocked = u"网页时光机暂时拒绝访问，请一小时后再试";

std::vector<std::string> with(std::vector<std::string> options) {
    std::vector<std::string> all{"--posts",   "11",   "--per-page", "4",
                                 "--archive", "full", "--https"};
    all.insert(all.end(), options.begin(), options.end());
    return all;
}

class ArchiveFaultTest : public gui_testing::UserFolderFixture {
protected:
    explicit ArchiveFaultTest(std::vector<std::string> options)
        : UserFolderFixture(with(std::move(options))) {}
    void SetUp() override {
        UserFolderFixture::SetUp();
        form().txtblog.set_text(platform::utf16_to_utf8(archived_blog));
    }
    std::u16string saved_in() const {
        return u"文章已保存于 " + platform::utf8_to_utf16(user_folder().string());
    }
    // The count of the stand-in's requests to the archive that contain `part`.
    int requests_naming(const std::string& part) {
        const std::string log = service().request_log();
        int count = 0;
        for (std::size_t at = log.find(part); at != std::string::npos;
             at = log.find(part, at + 1)) {
            ++count;
        }
        return count;
    }
};

// Nothing of the archive answers: the network is gone.
class SilentArchiveTest : public ArchiveFaultTest {
protected:
    SilentArchiveTest() : ArchiveFaultTest({"--archive-silent-after-index", "0"}) {}
};

// Silent once the harvest has read the index; the harvest's first raw page got a 429 first.
class ShutAfterA429Test : public ArchiveFaultTest {
protected:
    ShutAfterA429Test()
        : ArchiveFaultTest({"--archive-silent-after-index", "1", "--archive-429-first", "raw=1",
                            "--archive-retry-after", "1", "--archive-block-impatient", "0"}) {}
};

// Silent once the harvest has read the index, with no 429 ever.
class GoneAfterTheHarvestTest : public ArchiveFaultTest {
protected:
    GoneAfterTheHarvestTest() : ArchiveFaultTest({"--archive-silent-after-index", "1"}) {}
};

// The index hands out 3 rows a part, and fails on its third part.
class IndexInPartTest : public ArchiveFaultTest {
protected:
    IndexInPartTest()
        : ArchiveFaultTest({"--archive-index-part-rows", "3", "--archive-index-fails-after", "2"}) {
    }
};

// The blog's pictures; the first picture asked for answers 429.
class PictureBlockTest : public ArchiveFaultTest {
protected:
    PictureBlockTest()
        : ArchiveFaultTest(
              {"--pictures", "--archive-429-first", "image=1", "--archive-retry-after", "3"}) {}
};

} // namespace

TEST_F(SilentArchiveTest, AHarvestSaysTheArchiveCannotBeReachedAndEndsAsUsual) {
    click(form().Command1);
    EXPECT_EQ(box_texts(), (Texts{std::u16string(hint), std::u16string(unreachable)}));
    EXPECT_EQ(form().Command1.get_label(), "获取文章链接");
    EXPECT_TRUE(form().Command1.get_sensitive());
    EXPECT_EQ(form().list1_count(), 0u);
    // Three attempts, then nothing more was asked.
    EXPECT_EQ(requests_naming("web.archive.org"), 3);
}

TEST_F(ShutAfterA429Test, WhatTheHarvestWasToldHoldsForTheSaveAndSilenceIsThenABlock) {
    click(form().Command1);
    ASSERT_GT(form().list1_count(), 0u);
    ASSERT_EQ(box_texts(), Texts{std::u16string(hint)});
    boxes.clear();
    click(form().Command2);
    EXPECT_EQ(box_texts(), Texts{std::u16string(blocked)});
    EXPECT_TRUE(files_in(user_folder()).empty());
    EXPECT_EQ(form().Command2.get_label(), "保存文章");
}

TEST_F(GoneAfterTheHarvestTest, ASaveThatGetsNoAnswerStopsWithOneBoxAndNoClosingBoxes) {
    click(form().Command1);
    ASSERT_GT(form().list1_count(), 0u);
    boxes.clear();
    click(form().Command2);
    EXPECT_EQ(box_texts(), Texts{std::u16string(unreachable)});
    EXPECT_TRUE(files_in(user_folder()).empty());
    EXPECT_EQ(form().Command2.get_label(), "保存文章");

    // An empty list saves without asking the archive anything.
    const int asked = requests_naming("web.archive.org");
    form().list1_clear();
    boxes.clear();
    click(form().Command2);
    EXPECT_EQ(requests_naming("web.archive.org"), asked);
    EXPECT_EQ(box_texts(), (Texts{u"保存完毕", saved_in(), u"欢迎再次使用"}));
}

TEST_F(IndexInPartTest, TheBoxSaysHowManyPartsOfTheIndexWereRead) {
    click(form().Command1);
    EXPECT_EQ(box_texts(),
              (Texts{std::u16string(hint),
                     u"无法完整读取网页时光机的索引：已读取2部分，其余部分里的文章可能没有列出"}));
    EXPECT_EQ(requests_naming("/cdx/search/cdx"), 3);
    EXPECT_EQ(form().Command1.get_label(), "获取文章链接");
}

TEST_F(PictureBlockTest, ShutOutWhileThePicturesComeTheCopyIsWrittenThenTheBoxThenTheUsualEnd) {
    click(form().Command1);
    ASSERT_GT(form().list1_count(), 0u);
    boxes.clear();
    // Someone else on this address asks during the picture phase's pause: the archive shuts
    // the address out.
    const gui_testing::ImpatientNeighbour neighbour(form().Command2);
    click(form().Command2);

    ASSERT_TRUE(neighbour.asked());
    EXPECT_EQ(box_texts(),
              (Texts{std::u16string(blocked), u"保存完毕", saved_in(), u"欢迎再次使用"}));
    // Every post file, and the copy's pages, were written.
    EXPECT_EQ(files_in(user_folder()).size(), form().list1_count());
    EXPECT_TRUE(fs::exists(user_folder() / "离线浏览" / "index.html"));
}

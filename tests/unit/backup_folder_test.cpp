#include "window/backup_folder.h"

#include "platform/text.h"
#include "window/post_saver.h"

#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace blog;

namespace {

TEST(BackupBaseTest, InstalledCopySavesInTheUsersDocuments) {
    const fs::path documents = "/home/u/文档";
    const fs::path home = "/home/u";
    EXPECT_EQ(BackupBase("/usr/bin", documents, home), "/home/u/文档/Pellumo");
    EXPECT_EQ(BackupBase("/usr/local/bin", documents, home), "/home/u/文档/Pellumo");
    EXPECT_EQ(BackupBase("/usr", documents, home), "/home/u/文档/Pellumo");
    EXPECT_EQ(BackupBase("/usr/bin/", documents, home), "/home/u/文档/Pellumo");
    // No documents folder in the user's settings.
    EXPECT_EQ(BackupBase("/usr/bin", "", home), "/home/u/Pellumo");
}

TEST(BackupBaseTest, OtherCopiesSaveBesideThemselves) {
    for (const fs::path folder : {"/home/u/pellumo/build", "/opt/pellumo", "/usr2/bin", "/usrlocal",
                                  "/home/u/usr/bin", "/"}) {
        EXPECT_EQ(BackupBase(folder, "/home/u/文档", "/home/u"), folder) << folder;
    }
}

// Runs `body` in a child process and returns what it printed. GLib reads the user-dirs settings
// and the home folder once per process, so each set of variables needs a process of its own.
std::string in_child(const std::function<std::string()>& body) {
    int pipe_ends[2];
    if (::pipe(pipe_ends) != 0) {
        ADD_FAILURE() << "pipe";
        return {};
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipe_ends[0]);
        const std::string result = body();
        const bool written =
            ::write(pipe_ends[1], result.data(), result.size()) == ssize_t(result.size());
        ::_exit(written ? 0 : 1);
    }
    ::close(pipe_ends[1]);
    std::string output;
    char buffer[4096];
    for (ssize_t got; (got = ::read(pipe_ends[0], buffer, sizeof buffer)) > 0;) {
        output.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(pipe_ends[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    return output;
}

class BackupFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(home());
        fs::create_directories(m_root / "config");
    }

    fs::path home() const { return m_root / "home"; }

    // The folder an installed copy saves 某人's posts in, and the folder the user is told of.
    std::string installed_copy_target() const {
        return in_child([this] {
            ::setenv("HOME", home().c_str(), 1);
            ::setenv("XDG_CONFIG_HOME", (m_root / "config").c_str(), 1);
            const SaveTarget target = ChooseSaveFolder(BackupFolder("/usr/bin"), u"某人", home());
            return target.folder.string() + "|" + platform::utf16_to_utf8(target.shown);
        });
    }

    testing_support::TempFolder m_folder;
    const fs::path m_root = m_folder.path();
};

TEST_F(BackupFolderTest, DocumentsFolderFromTheUsersSettings) {
    // As xdg-user-dirs writes it under a Chinese locale; the folder itself does not exist yet.
    std::ofstream(m_root / "config" / "user-dirs.dirs")
        << "# written by xdg-user-dirs-update\nXDG_DOCUMENTS_DIR=\"$HOME/文档\"\n";
    const fs::path expected = home() / "文档" / "Pellumo" / "某人";
    EXPECT_EQ(installed_copy_target(), expected.string() + "|" + expected.string());
    EXPECT_TRUE(fs::is_directory(expected));
}

TEST_F(BackupFolderTest, HomeFolderWithoutUserDirsSettings) {
    const fs::path expected = home() / "Pellumo" / "某人";
    EXPECT_EQ(installed_copy_target(), expected.string() + "|" + expected.string());
    EXPECT_TRUE(fs::is_directory(expected));
}

} // namespace

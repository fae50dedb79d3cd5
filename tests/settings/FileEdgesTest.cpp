// Edges of reading and naming files, and the acknowledgement marks in the grid and the report.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#ifdef __linux__
#include <sys/syscall.h>

#include <utility>
#include <vector>
#endif

#include "io/FileReplace.h"
#include "settings/Catalogue.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsReport.h"
#include "support/SettingsFiles.h"

#ifdef __linux__
// Every fchmod of the program passes through here, so that a test sees the mode and size of the
// file at the moment the old file's mode is given to it.
namespace {
std::vector<std::pair<unsigned, long long>> gBeforeFchmod;  // mode, size
}  // namespace

extern "C" int fchmod(int fd, mode_t mode) noexcept {
    struct stat info {};
    if (::fstat(fd, &info) == 0) {
        gBeforeFchmod.emplace_back(info.st_mode & 07777, info.st_size);
    }
    return static_cast<int>(::syscall(SYS_fchmod, fd, mode));
}
#endif

namespace quelvar::settings {
namespace {

namespace fs = std::filesystem;
using io::ReplaceFileAtomically;
using io::SameFile;

SettingsFileContent Parsed(const std::string& bytes) {
    SettingsReadResult read = ParseSettingsFile(bytes, "test.am2");
    EXPECT_TRUE(read.content) << read.error;
    return read.content ? std::move(*read.content) : SettingsFileContent(IniFile());
}

std::string Utf16(const std::u16string& text, bool bigEndian) {
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const char16_t unit : text) {
        const char high = static_cast<char>(unit >> 8);
        const char low = static_cast<char>(unit & 0xFF);
        bytes += bigEndian ? std::string{high, low} : std::string{low, high};
    }
    return bytes;
}

TEST(FileEdgesTest, QuotedEmptyValuesEncodingsAndAFileEndingInALetter) {
    const SettingsFileContent quoted = Parsed("[GSM]\r\nUPHN1=\"\"\r\nUPHN2=''\r\nUPHN3=\"'\r\n");
    EXPECT_EQ(quoted.Find("UPHN1"), "");
    EXPECT_EQ(quoted.Find("UPHN2"), "");
    EXPECT_EQ(quoted.Find("UPHN3"), "\"'");

    const std::u16string text =
        u"[GSM]\r\nUPHN1=+3630\r\nextev1SMS \u00fczenet=T\u0171z \u2603\r\n";
    for (const bool bigEndian : {false, true}) {
        const SettingsFileContent wide = Parsed(Utf16(text, bigEndian));
        EXPECT_EQ(wide.Find("UPHN1"), "+3630") << bigEndian;
        EXPECT_EQ(wide.Find("extev1SMS \xFCzenet"), "T\xFBz ?") << bigEndian;
        EXPECT_EQ(wide.OriginalValue("extev1SMS \xFCzenet"), "T\xC5\xB1z \xE2\x98\x83")
            << bigEndian;
        EXPECT_EQ(wide.OriginalValue("UPHN1"), std::nullopt);
    }
    // UTF-8 without a mark whose last bytes are one letter, no line end after it.
    const SettingsFileContent utf8 = Parsed("[GSM]\nUPHN1=1\nextev1SMS \xC3\xBCzenet=T\xC5\xB1");
    EXPECT_EQ(utf8.Find("extev1SMS \xFCzenet"), "T\xFB");
}

TEST(FileEdgesTest, SameFileSeesThroughNamesAndLinks) {
    test::TempDir dir;
    test::WriteBytes(dir.File("a.am2"), "x");
    test::WriteBytes(dir.File("b.am2"), "x");
    EXPECT_TRUE(SameFile(dir.File("a.am2"), dir.File("a.am2")));
    EXPECT_TRUE(SameFile(dir.File("a.am2"), (dir.path / "." / "a.am2").string()));
    EXPECT_FALSE(SameFile(dir.File("a.am2"), dir.File("b.am2")));
    EXPECT_TRUE(SameFile(dir.File("new.html"), (dir.path / "x" / ".." / "new.html").string()));
    EXPECT_FALSE(SameFile(dir.File("new.html"), dir.File("other.html")));
#ifndef _WIN32
    fs::create_symlink(dir.File("a.am2"), dir.File("link"));
    fs::create_hard_link(dir.File("a.am2"), dir.File("hard"));
    EXPECT_TRUE(SameFile(dir.File("a.am2"), dir.File("link")));
    EXPECT_TRUE(SameFile(dir.File("hard"), dir.File("a.am2")));
    // Names in a loop of links resolve to nothing: two of them are not one file.
    fs::create_directory_symlink(dir.File("loop"), dir.File("loop"));
    EXPECT_FALSE(SameFile(dir.File("loop/a.html"), dir.File("loop/b.html")));
#endif
}

bool HasTemporaryFiles(const test::TempDir& dir) {
    for (const auto& entry : fs::recursive_directory_iterator(dir.path)) {
        if (entry.path().extension() == ".tmp") {
            return true;
        }
    }
    return false;
}

TEST(FileEdgesTest, AReplaceThatCannotTakePlaceLeavesEverythingAsItWas) {
    test::TempDir dir;
    fs::create_directories(dir.path / "taken" / "inside");
    const std::string error = ReplaceFileAtomically(dir.path / "taken", "new bytes");
    EXPECT_NE(error.find("could not be replaced"), std::string::npos) << error;
    EXPECT_TRUE(fs::is_directory(dir.path / "taken" / "inside"));
    EXPECT_FALSE(HasTemporaryFiles(dir));
}

#ifndef _WIN32
// Runs `check` in a child process (after `prepare` there) and returns its exit code: for limits
// and users that must not touch the test program itself.
int InChild(const std::function<void()>& prepare, const std::function<bool()>& check) {
    const pid_t child = fork();
    if (child == 0) {
        prepare();
        _exit(check() ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Any name the system allows is saved (the temporary file beside it has a short name of its
// own), and one it refuses is said with the system's reason.
TEST(FileEdgesTest, NamesUpToTheSystemsLimitAreSavedAndALongerOneSaysWhy) {
    test::TempDir dir;
    for (const std::size_t length : {235u, 250u, 255u}) {
        const std::string path = dir.File(std::string(length - 4, 'n') + ".am2");
        EXPECT_EQ(SaveProblem(path), "") << length;
        const SettingsSaveResult saved = SaveSettingsFile(SettingsModel(), 0, path);
        EXPECT_TRUE(saved.ok) << length << ": " << saved.reason;
        EXPECT_TRUE(ReadSettingsFile(path).content) << length;
    }
    const std::string tooLong = dir.File(std::string(252, 'n') + ".am2");
    const SettingsSaveResult refused = SaveSettingsFile(SettingsModel(), 0, tooLong);
    EXPECT_FALSE(refused.ok);
    EXPECT_NE(refused.reason.find("File name too long"), std::string::npos) << refused.reason;
    const std::string error = ReplaceFileAtomically(dir.path / "missing" / "a.am2", "x");
    EXPECT_NE(error.find("(No such file or directory)"), std::string::npos) << error;
    EXPECT_FALSE(HasTemporaryFiles(dir));
}

// A disk that takes only part of the new bytes: the failure is reported and the old file stays.
TEST(FileEdgesTest, AWriteThatFailsHalfWayKeepsTheOldFile) {
    test::TempDir dir;
    const std::string path = dir.File("settings.am2");
    test::WriteBytes(path, "old");
    const int code = InChild(
        [] {
            signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{4096, 4096};
            setrlimit(RLIMIT_FSIZE, &limit);
        },
        [&] {
            const std::string error = ReplaceFileAtomically(path, std::string(100000, 'x'));
            return error == "the new file could not be written completely";
        });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(test::ReadBytes(path), "old");
    EXPECT_FALSE(HasTemporaryFiles(dir));
}

// What a user who is not root gets: their own file back with its mode (root may give files away,
// so this is tried as another user where the test runs as root).
TEST(FileEdgesTest, AnOrdinaryUserKeepsOwnerAndModeOfTheirFile) {
    test::TempDir dir;
    const uid_t user = geteuid() == 0 ? 65534 : geteuid();
    const gid_t group = geteuid() == 0 ? 65534 : getegid();
    if (geteuid() == 0) {
        ASSERT_EQ(chown(dir.path.c_str(), user, group), 0);
    }
    const std::string path = dir.File("settings.am2");
    const int code = InChild(
        [&] {
            if (geteuid() == 0 && (setgid(group) != 0 || setuid(user) != 0)) {
                _exit(2);
            }
        },
        [&] {
            test::WriteBytes(path, "old");
            fs::permissions(path,
                            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
            struct stat info {};
            return ReplaceFileAtomically(path, "new").empty() && stat(path.c_str(), &info) == 0 &&
                   info.st_uid == user && info.st_gid == group && (info.st_mode & 07777) == 0640;
        });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(test::ReadBytes(path), "new");
}
#endif

#ifdef __linux__
// Over a file others may read, the new bytes are the owner's alone until the old mode is given
// to the new file, and that comes before its first byte: no one else reads a half-written file.
TEST(FileEdgesTest, TheNewFileIsTheOwnersAloneUntilItTakesTheOldMode) {
    test::TempDir dir;
    const std::string path = dir.File("settings.am2");
    test::WriteBytes(path, "old");
    ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
    const mode_t saved = ::umask(0);  // nothing of the umask hides a wider mode
    gBeforeFchmod.clear();
    const std::string error = ReplaceFileAtomically(path, "new bytes");
    ::umask(saved);
    EXPECT_EQ(error, "");
    EXPECT_EQ(gBeforeFchmod, (std::vector<std::pair<unsigned, long long>>{{0600, 0}}));
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0644u);
    EXPECT_EQ(test::ReadBytes(path), "new bytes");
}
#endif

TEST(FileEdgesTest, AckMarksShowForOnesOnlyAndBesideTheirNumberInTheReport) {
    SettingsModel model;
    const StringGrid& phones = model.Grid(TableId::kPhoneNumbers);
    EXPECT_EQ(ShowAckMask(model, "1x0 "), "1x0 ");
    EXPECT_EQ(phones.Cell(kAckColumn, 1), "X");
    for (int row = 2; row <= 4; ++row) {
        EXPECT_EQ(phones.Cell(kAckColumn, row), "") << row;
    }
    EXPECT_EQ(ShowAckMask(model, "11111"), "0000");
    for (int row = 1; row <= 4; ++row) {
        EXPECT_EQ(phones.Cell(kAckColumn, row), "") << row;
    }

    model.Rule(TableId::kPhoneNumbers).SetValue("T2", "+3622");
    model.Rule(TableId::kPhoneNumbers).SetValue("T3", "+3633");
    ReportFacts facts;
    facts.ackMask = "0010";
    const std::string html = BuildSettingsReport(model, facts);
    EXPECT_NE(html.find("<th>T3</th><td>+3633 &nbsp;(ACK)</td>"), std::string::npos) << html;
    EXPECT_NE(html.find("<th>T2</th><td>+3622</td>"), std::string::npos);
    EXPECT_EQ(html.find("(ACK)"), html.rfind("(ACK)"));
}

TEST(SettingsReport, TheCustomerIsPrintedAboveTheSettingsAsPlainText) {
    SettingsModel model;
    ReportFacts facts;
    facts.customerName =
        "Kov\xE1"
        "cs & <Fiai>";  // Windows-1250
    facts.customerAddress = "Budapest";
    const std::string html = BuildSettingsReport(model, facts);
    const std::size_t customer = html.find(
        "<th>Customer</th><td>Kov\xC3\xA1"
        "cs &amp; &lt;Fiai&gt;</td>");
    ASSERT_NE(customer, std::string::npos) << html;
    EXPECT_LT(customer, html.find("<th>Address</th><td>Budapest</td>"));
    EXPECT_LT(html.find("<th>Address</th>"), html.find("<th>Date</th>"));
    EXPECT_EQ(BuildSettingsReport(model, ReportFacts{}).find("<th>Customer</th>"),
              std::string::npos);
}

}  // namespace
}  // namespace quelvar::settings

// The editing commands' and the external tools' plain rules, and following
// Windows shortcuts.
#include "compose/editing.h"
#include "compose/shortcut.h"
#include "compose/tools.h"
#include "lnk_writer.h"
#include "test_env.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

TEST(DeleteBlanks, DropsBlanksTabsLineBreaksAndFullWidthSpaces)
{
    const std::pair<std::string, std::string> cases[] = {
        {"a b\tc\r\n\x81\x40", "abc"},
        {"", ""},
        {" \t\r\n\x81\x40", ""},
        // A trail byte 0x40, 0x20-like or 0x0A-like bytes inside a
        // double-byte character are no blanks.
        {"\x83\x40\x81\x41", "\x83\x40\x81\x41"},
        {"\x82\xA0 \x82\xA0", "\x82\xA0\x82\xA0"},
        // A full-width space straddled by a lead byte stays what it is.
        {"\x81\x81\x40", "\x81\x81\x40"},
        {"\xF8\x9F \xF8\x9F", "\xF8\x9F\xF8\x9F"},
        // A lead byte at the very end is kept as it is.
        {"a\x82", "a\x82"},
    };
    for (const auto &[in, want] : cases)
        EXPECT_EQ(DeleteBlanks(in), want) << in;
}

TEST(PasteColour, RedFromTwiceTheLimitWhenLonger)
{
    EXPECT_EQ(PasteRedFrom(600, 250), std::optional<long>(500));
    EXPECT_EQ(PasteRedFrom(501, 250), std::optional<long>(500));
    EXPECT_EQ(PasteRedFrom(500, 250), std::nullopt);
    EXPECT_EQ(PasteRedFrom(499, 250), std::nullopt);
    EXPECT_EQ(PasteRedFrom(400, 250), std::nullopt);
    EXPECT_EQ(PasteRedFrom(0, 0), std::nullopt);
}

TEST(Drop, KindByExactExtension)
{
    const std::pair<const char *, DropKind> cases[] = {
        {"/a/note.txt", DropKind::Text},      {"/a/NOTE.TXT", DropKind::Other},
        {"/a/note.Txt", DropKind::Other},     {"/a/p.jpg", DropKind::Picture},
        {"/a/p.JPG", DropKind::Picture},      {"/a/p.jpeg", DropKind::Picture},
        {"/a/p.JPEG", DropKind::Picture},     {"/a/p.Jpg", DropKind::Other},
        {"/a/p.bmp", DropKind::Other},        {"/a/l.lnk", DropKind::Shortcut},
        {"/a/l.LNK", DropKind::Other},        {"/a.txt/noext", DropKind::Other},
        {"/a/x.tar.txt", DropKind::Text},     {"", DropKind::Other},
    };
    for (auto [path, kind] : cases)
        EXPECT_EQ(ClassifyDroppedFile(path), kind) << path;
}

TEST(Drop, TheFirstFileCounts)
{
    DropPlan plan = PlanDrop({"/a/x.bmp", "/a/y.txt", "/a/z.jpg"});
    EXPECT_FALSE(plan.failed);
    EXPECT_EQ(plan.path, "/a/x.bmp");
    EXPECT_EQ(plan.kind, DropKind::Other);
    plan = PlanDrop({"/a/y.txt", "/a/x.bmp"});
    EXPECT_EQ(plan.kind, DropKind::Text);
    EXPECT_TRUE(PlanDrop({}).failed);
    EXPECT_TRUE(PlanDrop({""}).failed);
}

TEST(Tools, WorkingFolderAndStoredPaths)
{
    EXPECT_EQ(WorkingFolder("/usr/lib/tegamiya/tegamiya-outbox"), "/usr/lib/tegamiya/");
    EXPECT_EQ(WorkingFolder("/prog"), "/");
    EXPECT_EQ(WorkingFolder("prog"), "");
    EXPECT_EQ(DefaultMailClient(true, "/x/tegamiya-outbox", "/usr/bin/mail"), "/x/tegamiya-outbox");
    EXPECT_EQ(DefaultMailClient(false, "/x/tegamiya-outbox", "/usr/bin/mail"), "/usr/bin/mail");
    EXPECT_EQ(DefaultMailClient(false, "/x/tegamiya-outbox", ""), "");
    // Paths are kept as CP932 text; one CP932 cannot hold is refused.
    EXPECT_EQ(PathToSettings("/home/\xE5\xA4\xAA\xE9\x83\x8E/kao"), "/home/\x91\xBE\x98\x59/kao");
    EXPECT_EQ(PathFromSettings("/home/\x91\xBE\x98\x59/kao"), "/home/\xE5\xA4\xAA\xE9\x83\x8E/kao");
    EXPECT_EQ(PathToSettings("/home/\xF0\x9F\x98\x80/kao"), std::nullopt);
}

class Shortcuts : public ::testing::Test {
protected:
    testenv::TempHome home;
    fs::path Dir() { return home.Path(); }
    std::string Write(const char *name, const std::string &bytes)
    {
        testenv::WriteFile(Dir() / name, bytes);
        return (Dir() / name).string();
    }
};

TEST_F(Shortcuts, FollowsTheRelativePathThenTheLocalPathThenTheNameBesideIt)
{
    std::string note = Write("note.txt", "x");
    fs::create_directory(Dir() / "sub");
    std::string target;
    // Relative to the shortcut's folder, Windows separators.
    std::string link = Write("sub/rel.lnk", lnktest::Shortcut("C:\\Users\\x\\other.txt", "..\\note.txt"));
    ASSERT_TRUE(ResolveShortcutFile(link, target));
    EXPECT_EQ(fs::canonical(target), fs::canonical(note));
    // A local path of this system.
    link = Write("local.lnk", lnktest::Shortcut(note, ""));
    ASSERT_TRUE(ResolveShortcutFile(link, target));
    EXPECT_EQ(target, note);
    // A Windows path whose file lies beside the shortcut; its name as stored.
    Write("photo.jpeg", "y");
    link = Write("win.lnk", lnktest::Shortcut("C:\\Users\\x\\photo.jpeg", ""));
    ASSERT_TRUE(ResolveShortcutFile(link, target));
    EXPECT_EQ(target, (Dir() / "photo.jpeg").string());
    // A relative path that begins with a backslash lies beside the
    // shortcut, not at the root.
    Write("sub/rooted.txt", "z");
    link = Write("sub/rooted.lnk", lnktest::Shortcut("C:\\Users\\x\\other.txt", "\\rooted.txt"));
    ASSERT_TRUE(ResolveShortcutFile(link, target));
    EXPECT_EQ(target, (Dir() / "sub/rooted.txt").string());
}

TEST_F(Shortcuts, BrokenOrMissingTargetsResolveToNothing)
{
    std::string target = "stale";
    std::string link = Write("gone.lnk", lnktest::Shortcut("C:\\Users\\x\\gone.txt", "gone.txt"));
    EXPECT_FALSE(ResolveShortcutFile(link, target));
    EXPECT_EQ(target, "");
    link = Write("junk.lnk", "this is no shortcut");
    EXPECT_FALSE(ResolveShortcutFile(link, target));
    EXPECT_FALSE(ResolveShortcutFile((Dir() / "missing.lnk").string(), target));
    link = Write("short.lnk", lnktest::Shortcut("C:\\a.txt", "a.txt").substr(0, 60));
    EXPECT_FALSE(ResolveShortcutFile(link, target));
    EXPECT_EQ(target, "");
}

} // namespace

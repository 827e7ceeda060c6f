// The preview's plain logic: the reader by extension, the fit in the
// frame, the recipient's picture and the default picture's folders.
#include "app/profile.h"
#include "compose/pictures.h"
#include "test_env.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;
using testenv::Sjis;

void PrintTo(const PictureRect &r, std::ostream *os)
{
    *os << r.x << "," << r.y << " " << r.width << "x" << r.height;
}

namespace {

TEST(ClassifyPictureFile, ExtensionsAreComparedExactly)
{
    struct { const char *path; PictureFileType type; } rows[] = {
        {"/a/b.jpg", PictureFileType::Jpeg},  {"/a/b.JPG", PictureFileType::Jpeg},
        {"/a/b.bmp", PictureFileType::Bmp},   {"/a/b.BMP", PictureFileType::Bmp},
        {"/a/b.jpeg", PictureFileType::Jpeg}, {"/a/b.JPEG", PictureFileType::Jpeg},
        {"/a/b.Jpeg", PictureFileType::Other}, {"/a/b.txt", PictureFileType::Other},
        {"/a/b.lnk", PictureFileType::Other},
        {"/a/b.Jpg", PictureFileType::Other}, {"/a/b.Bmp", PictureFileType::Other},
        {"/a/b.png", PictureFileType::Other}, {"/a/b", PictureFileType::Other},
        {"/a.jpg/b", PictureFileType::Other}, {"", PictureFileType::Other},
        {"b.tar.jpg", PictureFileType::Jpeg}, {"/a/.jpg", PictureFileType::Jpeg},
    };
    for (const auto &r : rows)
        EXPECT_EQ(ClassifyPictureFile(r.path), r.type) << r.path;
}

struct FitCase {
    int fw, fh, pw, ph;
    PictureRect want;
};

class Fit : public ::testing::TestWithParam<FitCase> {};

TEST_P(Fit, IntegerArithmeticOfThePreview)
{
    const FitCase &c = GetParam();
    EXPECT_EQ(FitPicture(c.fw, c.fh, c.pw, c.ph), c.want);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Fit,
    ::testing::Values(
        // The frame's own proportions scale the shorter side.
        FitCase{100, 80, 200, 100, {0, 20, 100, 40}}, FitCase{100, 80, 100, 200, {25, 0, 50, 80}},
        // Square pictures take the "otherwise" branch.
        FitCase{100, 80, 50, 50, {0, 0, 100, 80}},
        // One pixel either side of square.
        FitCase{100, 80, 51, 50, {0, 1, 100, 78}}, FitCase{100, 80, 50, 51, {1, 0, 98, 80}},
        // The form's frame: 141 x 133.
        FitCase{141, 133, 200, 100, {0, 33, 141, 66}}, FitCase{141, 133, 100, 200, {35, 0, 70, 133}},
        // Thin pictures are never 0 pixels wide or high.
        FitCase{100, 80, 1000, 1, {0, 39, 100, 1}}, FitCase{100, 80, 1, 1000, {49, 0, 1, 80}},
        FitCase{100, 80, 65535, 1, {0, 39, 100, 1}},
        // Large sizes do not overflow.
        FitCase{30000, 30000, 65535, 65534, {0, 0, 30000, 29999}},
        // Nothing to fit.
        FitCase{0, 80, 10, 10, {}}, FitCase{100, 80, 0, 10, {}}));

class PictureSettings : public ::testing::Test {
protected:
    testenv::TempHome home;
    std::string ini = (home.Path() / "t.ini").string();
    void Register(int i, const std::string &name, const std::string &path)
    {
        ProfileFile f(ini);
        ASSERT_TRUE(f.WriteString(kPictureToNameSection, PictureEntryKey(i), name));
        ASSERT_TRUE(f.WriteString(kPictureFilesSection, PictureEntryKey(i), path));
    }
};

TEST_F(PictureSettings, FirstEqualEntryWinsEvenWithAnEmptyPath)
{
    Register(1, "a@docomo.ne.jp", "/p/a1.jpg");
    Register(2, "b@docomo.ne.jp", "");
    Register(3, "b@docomo.ne.jp", "/p/b3.jpg");
    Register(4, "a@docomo.ne.jp", "/p/a4.jpg");
    Register(5, Sjis("山田"), Sjis("/写真/山田.jpg"));
    ProfileFile f(ini);
    EXPECT_EQ(FindRecipientPicture(f, "a@docomo.ne.jp"), "/p/a1.jpg");
    EXPECT_EQ(FindRecipientPicture(f, "b@docomo.ne.jp"), "");
    EXPECT_EQ(FindRecipientPicture(f, "A@docomo.ne.jp"), std::nullopt); // case counts
    EXPECT_EQ(FindRecipientPicture(f, "a@docomo.ne.j"), std::nullopt);
    EXPECT_EQ(FindRecipientPicture(f, ""), std::nullopt);                // empty entries never match
    // The path comes back as the file system's (UTF-8) bytes.
    EXPECT_EQ(FindRecipientPicture(f, Sjis("山田")), "/写真/山田.jpg");
}

TEST_F(PictureSettings, LongValuesAreReadWhole)
{
    std::string name(200, 'n');
    std::string path = "/" + std::string(300, 'p') + ".jpg";
    Register(2, name, path);
    EXPECT_EQ(FindRecipientPicture(ProfileFile(ini), name), path);
    EXPECT_EQ(FindRecipientPicture(ProfileFile(ini), name.substr(0, 79)), std::nullopt);
}

TEST(FindDefaultPicture, UserFolderFirstJpegBeforeBmp)
{
    testenv::TempHome home;
    fs::path user = home.Path() / "user", program = home.Path() / "program";
    fs::create_directories(user);
    fs::create_directories(program);
    std::vector<std::string> folders = {user.string(), program.string() + "/"};
    EXPECT_EQ(FindDefaultPicture(folders), std::nullopt);
    testenv::WriteFile(program / "MyPicture.bmp", "x");
    EXPECT_EQ(FindDefaultPicture(folders), (program / "MyPicture.bmp").string());
    testenv::WriteFile(program / "MyPicture.jpg", "x");
    EXPECT_EQ(FindDefaultPicture(folders), (program / "MyPicture.jpg").string());
    testenv::WriteFile(user / "MyPicture.bmp", "x");
    EXPECT_EQ(FindDefaultPicture(folders), (user / "MyPicture.bmp").string());
    testenv::WriteFile(user / "MyPicture.jpg", "x");
    EXPECT_EQ(FindDefaultPicture(folders), (user / "MyPicture.jpg").string());
    // A folder of that name is no picture; an unknown folder is skipped.
    fs::remove(user / "MyPicture.jpg");
    fs::create_directories(user / "MyPicture.jpg");
    EXPECT_EQ(FindDefaultPicture(folders), (user / "MyPicture.bmp").string());
    EXPECT_EQ(FindDefaultPicture({"", (home.Path() / "none").string(), program.string()}),
              (program / "MyPicture.jpg").string());
}

} // namespace

// The picture preview's plain logic: which reader a file goes to, where the
// picture is drawn in its frame, the picture registered for a recipient and
// the default picture.
#pragma once

#include <optional>
#include <string>
#include <vector>

class ProfileFile;

// The reader a picture file goes to, by the program's one extension rule
// (ClassifyFileByExtension, compose/editing.h): ".bmp"/".BMP" BMP,
// ".jpg"/".JPG"/".jpeg"/".JPEG" JPEG, everything else Other.
enum class PictureFileType { Bmp, Jpeg, Other };
PictureFileType ClassifyPictureFile(const std::string &path);

// A rectangle in the preview frame's pixels.
struct PictureRect {
    int x = 0, y = 0, width = 0, height = 0;
    bool operator==(const PictureRect &) const = default;
};

// Where a picture of picWidth x picHeight is drawn in a frame of
// frameWidth x frameHeight: the side of the picture that is longer fills
// the frame's side, the other is scaled by the frame's own proportions and
// centred, all in integer division (a 200 x 100 picture in 100 x 80 lies at
// 0, 20 with 100 x 40). Never 0 wide or high while the frame is not.
PictureRect FitPicture(int frameWidth, int frameHeight, int picWidth, int picHeight);

// The sections and keys of the recipient pictures in the settings file.
inline constexpr const char *kPictureToNameSection = "Picture ToName";
inline constexpr const char *kPictureFilesSection = "Picture Files";
inline constexpr int kPictureEntries = 5;
// "Name1" ... "Name5".
std::string PictureEntryKey(int i);

// The path registered for a recipient (CP932 text, compared exactly): the
// first entry whose recipient equals it wins, also when its path is empty.
// The path comes back as the file system's bytes. Nothing when no entry
// names the recipient.
std::optional<std::string> FindRecipientPicture(const ProfileFile &ini, const std::string &recipient);

// The default picture: MyPicture.jpg, else MyPicture.bmp, looked for in each
// folder in turn (the user's folder first, then the program's). The first
// file that can be opened for reading; nothing when none can.
std::optional<std::string> FindDefaultPicture(const std::vector<std::string> &folders);

#include "compose/pictures.h"

#include "app/cp932.h"
#include "app/profile.h"
#include "compose/editing.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>

PictureFileType ClassifyPictureFile(const std::string &path)
{
    switch (ClassifyFileByExtension(path)) {
    case FileKind::Bmp:
        return PictureFileType::Bmp;
    case FileKind::Jpeg:
        return PictureFileType::Jpeg;
    default:
        return PictureFileType::Other;
    }
}

PictureRect FitPicture(int frameWidth, int frameHeight, int picWidth, int picHeight)
{
    if (frameWidth <= 0 || frameHeight <= 0 || picWidth <= 0 || picHeight <= 0)
        return {};
    const int64_t right = frameWidth, bottom = frameHeight;
    PictureRect r;
    if (picWidth < picHeight) {
        int64_t dw = right * picWidth / picHeight;
        r.width = static_cast<int>(std::max<int64_t>(dw, 1));
        r.height = frameHeight;
        r.x = static_cast<int>((right - r.width) / 2);
    } else {
        int64_t dh = bottom * picHeight / picWidth;
        r.width = frameWidth;
        r.height = static_cast<int>(std::max<int64_t>(dh, 1));
        r.y = static_cast<int>((bottom - r.height) / 2);
    }
    return r;
}

std::string PictureEntryKey(int i)
{
    return "Name" + std::to_string(i);
}

std::optional<std::string> FindRecipientPicture(const ProfileFile &ini, const std::string &recipient)
{
    for (int i = 1; i <= kPictureEntries; ++i) {
        std::string key = PictureEntryKey(i);
        // Values are read whole: a cut path would name another file.
        std::string name = ini.GetString(kPictureToNameSection, key, "");
        if (!name.empty() && name == recipient)
            return cp932::ToUtf8(ini.GetString(kPictureFilesSection, key, ""));
    }
    return std::nullopt;
}

std::optional<std::string> FindDefaultPicture(const std::vector<std::string> &folders)
{
    for (std::string folder : folders) {
        if (folder.empty())
            continue;
        if (folder.back() != '/')
            folder += '/';
        for (const char *name : {"MyPicture.jpg", "MyPicture.bmp"}) {
            std::string path = folder + name;
            int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
            if (fd < 0)
                continue;
            struct stat st;
            bool regular = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
            close(fd);
            if (regular)
                return path;
        }
    }
    return std::nullopt;
}

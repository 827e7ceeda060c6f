#include "app/emoji_font.h"

#include "app/cp932.h"
#include "app/paths.h"
#include "app/profile.h"
#include "app/ui_seam.h"
#include "compose/tegamiya_view.h"

#include <fontconfig/fontconfig.h>
#include <pango/pangocairo.h>
#include <pango/pangofc-fontmap.h>
#include <wx/app.h>
#include <wx/toplevel.h>

#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace {

constexpr const char *kSection = "EUDC";
constexpr unsigned kInfoStyle = MB_OK | MB_ICONINFORMATION | MB_TASKMODAL | MB_TOPMOST;
constexpr unsigned kQuestionStyle = MB_YESNO | MB_ICONQUESTION | MB_TASKMODAL | MB_TOPMOST;
// The link is read as into a buffer of this size: a longer link counts as
// unreadable and is left alone.
constexpr size_t kLinkBuffer = 256;

int Say(const std::string &utf8, unsigned style = kInfoStyle)
{
    return ShowMessageBox(BoxKind::Japanese, nullptr, cp932::FromUtf8(utf8), style);
}

// The face the compose form uses, whose fallback the pictograph font joins.
constexpr const char *kFormFace = "IPAGothic";

class FontconfigEudc : public EudcPlatform {
public:
    bool EnableEUDC(bool enable) override
    {
        FcConfig *config = FcConfigGetCurrent();
        if (!config)
            return false;
        if (!enable) {
            FcConfigAppFontClear(config);
            Changed();
            return true;
        }
        std::string link = ProfileFile(EudcRecordPath()).GetString(kSection, EudcFaceKey(), "");
        if (link.empty())
            return false;
        std::string file = cp932::ToUtf8(link);
        const FcChar8 *path = reinterpret_cast<const FcChar8 *>(file.c_str());
        if (!FcConfigAppFontAddFile(config, path))
            return false;
        PreferInFormFace(config, path);
        Changed();
        return true;
    }

private:
    // Puts the font's family right after the form's face, so that for the
    // characters the face lacks it wins over other installed fonts that
    // cover the same private-use code points.
    void PreferInFormFace(FcConfig *config, const FcChar8 *path)
    {
        int count = 0;
        FcPattern *pat = FcFreeTypeQuery(path, 0, nullptr, &count);
        if (!pat)
            return;
        FcChar8 *family = nullptr;
        if (FcPatternGetString(pat, FC_FAMILY, 0, &family) == FcResultMatch && family) {
            std::string name(reinterpret_cast<const char *>(family));
            if (name != m_preferred) {
                std::string rule =
                    "<?xml version=\"1.0\"?><!DOCTYPE fontconfig SYSTEM \"fonts.dtd\"><fontconfig>"
                    "<match target=\"pattern\"><test name=\"family\"><string>" + std::string(kFormFace) +
                    "</string></test><edit name=\"family\" mode=\"append\" binding=\"strong\"><string>" +
                    name + "</string></edit></match></fontconfig>";
                if (FcConfigParseAndLoadFromMemory(config, reinterpret_cast<const FcChar8 *>(rule.c_str()),
                                                   FcFalse))
                    m_preferred = name;
            }
        }
        FcPatternDestroy(pat);
    }

    // Pango caches fonts per configuration; tell it, and redraw.
    void Changed()
    {
        PangoFontMap *map = pango_cairo_font_map_get_default();
        if (map && PANGO_IS_FC_FONT_MAP(map))
            pango_fc_font_map_config_changed(PANGO_FC_FONT_MAP(map));
        if (wxTheApp) {
            for (wxWindow *w : wxTopLevelWindows)
                w->Refresh();
        }
    }

    std::string m_preferred;
};

} // namespace

std::string EudcRecordPath()
{
    std::string config = paths::ConfigHome();
    return config.empty() ? std::string() : config + "/EUDC/932.ini";
}

namespace {
// True when CP932 text can hold the path and gives it back unchanged.
bool Cp932CanWrite(const std::string &path)
{
    bool lossless = true;
    std::string bytes = cp932::FromUtf8(path, '?', &lossless);
    return lossless && cp932::ToUtf8(bytes) == path;
}
} // namespace

std::string EmojiFontLinkPath(const std::string &fontPath)
{
    if (Cp932CanWrite(fontPath))
        return fontPath;
    const std::string data = paths::DataHome();
    if (data.empty())
        return {};
    // One folder per font path (FNV-1a), so that fonts of different folders
    // keep different links, as their own paths would.
    uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : fontPath) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    char name[17];
    std::snprintf(name, sizeof name, "%016llx", static_cast<unsigned long long>(hash));
    namespace fs = std::filesystem;
    const fs::path folder = fs::path(data) / "Tegamiya" / "fonts" / name;
    const fs::path link = folder / "Tegamiya.tte";
    if (!Cp932CanWrite(link.string()))
        return {};
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (fs::read_symlink(link, ec) == fs::path(fontPath))
        return link.string();
    // Made beside it and renamed over it, so that the link never leads
    // nowhere.
    const fs::path made = folder / ("Tegamiya.tte." + std::to_string(getpid()));
    fs::remove(made, ec);
    fs::create_symlink(fontPath, made, ec);
    if (!ec)
        fs::rename(made, link, ec);
    if (ec) {
        fs::remove(made, ec);
        return {};
    }
    return link.string();
}

std::string EudcFaceKey() { return cp932::FromUtf8("ＭＳ ゴシック"); }

std::string EmojiFontPath() { return paths::ExecutableDir() + "Tegamiya.tte"; }

EudcPlatform &SystemEudc()
{
    static FontconfigEudc eudc;
    return eudc;
}

bool RegisterEmojiFontWith(const std::string &fontPathFs, EudcPlatform &platform)
{
    // The record holds CP932 text, like every text of the program: a path
    // CP932 cannot write is linked through one it can.
    const std::string linkable = EmojiFontLinkPath(fontPathFs);
    const std::string fontPath = cp932::FromUtf8(linkable);
    const std::string record = EudcRecordPath();

    // Opening the record creates its folder when needed.
    std::error_code ec;
    if (linkable.empty() || record.empty() ||
        (!std::filesystem::create_directories(std::filesystem::path(record).parent_path(), ec) && ec)) {
        Say("絵文字の登録に失敗しました。");
        return true;
    }

    ProfileFile links(record);
    // A record that exists but cannot be read, or a link too long for the
    // buffer, is neither asked about nor written.
    bool readable = true;
    if (std::filesystem::exists(record, ec)) {
        std::ifstream probe(record, std::ios::binary);
        readable = probe.good() && !std::filesystem::is_directory(record, ec);
    }
    std::string current = readable ? links.GetString(kSection, EudcFaceKey(), "") : std::string();
    if (current.size() >= kLinkBuffer)
        readable = false;

    if (readable && current != fontPath) {
        if (!current.empty()) {
            std::string question = cp932::FromUtf8("絵文字を有効にするためにMSゴシックに割り当てられている\n外字フォント - ") +
                                   current + cp932::FromUtf8(" を   \n絵文字フォントで置き換えます。") +
                                   cp932::FromUtf8("\n\n絵文字を使用しますか？ ");
            if (ShowMessageBox(BoxKind::Japanese, nullptr, question, kQuestionStyle) != IDYES)
                return false;
        }
        if (!links.WriteString(kSection, EudcFaceKey(), fontPath)) {
            int err = errno ? errno : EIO;
            // The system's own words for the failure.
            ShowMessageBox(BoxKind::Japanese, nullptr, cp932::FromUtf8(std::strerror(err)), kInfoStyle);
        }
    }

    if (!platform.EnableEUDC(false)) {
        Say("絵文字の無効に失敗しました。");
        return false;
    }
    if (!platform.EnableEUDC(true)) {
        Say("絵文字の登録に失敗しました。");
        return false;
    }
    return true;
}

bool CTegamiyaView::RegisterEmojiFont()
{
    return RegisterEmojiFontWith(EmojiFontPath(), SystemEudc());
}

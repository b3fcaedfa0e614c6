// The wizard's resources: both page templates in four languages, the side picture and the icons,
// read back from the program's own module as the system will read them.
#include "res/resource.h"
#include <windows.h>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

const WORD kLanguages[] = {0x0409, 0x040C, 0x0410, 0x0C0A};
const WORD kStaticClass = 0x0082;

// A name-or-ordinal field of a dialog template: an ordinal, or a text (UTF-8 here).
struct NameOrOrdinal {
    bool isOrdinal = false;
    WORD ordinal = 0;
    std::string text;
};

struct Control {
    DWORD style, exStyle;
    short x, y, cx, cy;
    WORD id;
    NameOrOrdinal windowClass, title;
    WORD extraCount;
};

struct Template {
    DWORD style, exStyle;
    short x, y, cx, cy;
    NameOrOrdinal menu, windowClass;
    std::string title;
    WORD pointSize = 0;
    std::string font;
    std::vector<Control> controls;
};

// Reads the standard (not extended) template records, checking every bound.
class TemplateReader {
public:
    TemplateReader(const BYTE* data, size_t size) : data_(data), size_(size) {}
    bool failed() const { return failed_; }
    size_t offset() const { return at_; }

    WORD Word()
    {
        if (at_ + 2 > size_) { failed_ = true; return 0; }
        WORD w;
        memcpy(&w, data_ + at_, 2);
        at_ += 2;
        return w;
    }
    DWORD Dword()
    {
        DWORD low = Word();
        return low | (static_cast<DWORD>(Word()) << 16);
    }
    std::string Text()
    {
        std::wstring wide;
        for (WORD c = Word(); c != 0 && !failed_; c = Word()) wide += static_cast<wchar_t>(c);
        if (wide.empty()) return std::string();
        char utf8[1024] = {};
        WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), static_cast<int>(wide.size()), utf8,
                            sizeof utf8 - 1, NULL, NULL);
        return utf8;
    }
    NameOrOrdinal Field()
    {
        NameOrOrdinal field;
        size_t start = at_;
        WORD first = Word();
        if (first == 0xFFFF) {
            field.isOrdinal = true;
            field.ordinal = Word();
        } else if (first != 0) {
            at_ = start;
            field.text = Text();
        }
        return field;
    }
    void AlignDword() { at_ = (at_ + 3) & ~static_cast<size_t>(3); }

private:
    const BYTE* data_;
    size_t size_;
    size_t at_ = 0;
    bool failed_ = false;
};

bool LoadTemplate(WORD dialogId, WORD language, Template* out, std::string* problem)
{
    HMODULE module = GetModuleHandleA(NULL);
    HRSRC found = FindResourceExA(module, MAKEINTRESOURCEA(5), MAKEINTRESOURCEA(dialogId), language);
    if (found == NULL) { *problem = "not found"; return false; }
    const BYTE* data = static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
    size_t size = SizeofResource(module, found);
    TemplateReader reader(data, size);
    out->style = reader.Dword();
    out->exStyle = reader.Dword();
    if ((out->style & 0xFFFF0000) == 0xFFFF0000) { *problem = "extended template"; return false; }
    WORD count = reader.Word();
    out->x = reader.Word(); out->y = reader.Word();
    out->cx = reader.Word(); out->cy = reader.Word();
    out->menu = reader.Field();
    out->windowClass = reader.Field();
    out->title = reader.Text();
    if (out->style & DS_SETFONT) {
        out->pointSize = reader.Word();
        out->font = reader.Text();
    }
    for (WORD i = 0; i < count && !reader.failed(); ++i) {
        reader.AlignDword();
        Control c;
        c.style = reader.Dword();
        c.exStyle = reader.Dword();
        c.x = reader.Word(); c.y = reader.Word(); c.cx = reader.Word(); c.cy = reader.Word();
        c.id = reader.Word();
        c.windowClass = reader.Field();
        c.title = reader.Field();
        c.extraCount = reader.Word();
        out->controls.push_back(c);
    }
    if (reader.failed()) { *problem = "template runs past its resource"; return false; }
    if (reader.offset() > size) { *problem = "bad size"; return false; }
    return true;
}

struct ExpectedControl {
    WORD id;
    const char* className;  // NULL: the predefined Static class
    bool titleIsOrdinal;
    WORD titleOrdinal;
    const char* titleText;
    DWORD style;
    short x, y, cx, cy;
};

void CheckTemplate(const Template& t, const std::vector<ExpectedControl>& expected,
                   const std::string& where)
{
    EXPECT_EQ(0x40000040u, t.style) << where;
    EXPECT_EQ(0u, t.exStyle) << where;
    EXPECT_EQ(0, t.x) << where;
    EXPECT_EQ(0, t.y) << where;
    EXPECT_EQ(288, t.cx) << where;
    EXPECT_EQ(175, t.cy) << where;
    EXPECT_TRUE(!t.menu.isOrdinal && t.menu.text.empty()) << where << ": no menu";
    EXPECT_TRUE(!t.windowClass.isOrdinal && t.windowClass.text.empty()) << where << ": no class";
    EXPECT_EQ("", t.title) << where;
    EXPECT_EQ(8, t.pointSize) << where;
    EXPECT_EQ("MS Sans Serif", t.font) << where;
    ASSERT_EQ(expected.size(), t.controls.size()) << where;
    for (size_t i = 0; i < expected.size(); ++i) {
        const Control& c = t.controls[i];
        const ExpectedControl& e = expected[i];
        std::string at = where + ", control " + std::to_string(i + 1);
        EXPECT_EQ(e.id, c.id) << at;
        EXPECT_EQ(e.style, c.style) << at;
        EXPECT_EQ(0u, c.exStyle) << at;
        EXPECT_EQ(e.x, c.x) << at;
        EXPECT_EQ(e.y, c.y) << at;
        EXPECT_EQ(e.cx, c.cx) << at;
        EXPECT_EQ(e.cy, c.cy) << at;
        EXPECT_EQ(0, c.extraCount) << at;
        if (e.className == NULL) {
            EXPECT_TRUE(c.windowClass.isOrdinal) << at;
            EXPECT_EQ(kStaticClass, c.windowClass.ordinal) << at;
        } else {
            // windres stores class names upper-cased; the system compares them without case.
            EXPECT_FALSE(c.windowClass.isOrdinal) << at;
            EXPECT_EQ(0, lstrcmpiA(e.className, c.windowClass.text.c_str()))
                << at << ": class " << c.windowClass.text;
        }
        EXPECT_EQ(e.titleIsOrdinal, c.title.isOrdinal) << at;
        if (e.titleIsOrdinal)
            EXPECT_EQ(e.titleOrdinal, c.title.ordinal) << at;
        else
            EXPECT_EQ(std::string(e.titleText), c.title.text) << at;
    }
}

const DWORD kBitmapStyle = 0x5000000E;
const DWORD kTextStyle = 0x50020000;
const DWORD kMarkStyle = 0x40000003;

struct LanguageTexts {
    WORD language;
    const char* steps[3];
    const char* finish[3];
};

// UTF-8, exactly as the pages show them.
const LanguageTexts kTexts[] = {
    {0x0409,
     {"Removing user modules", "Removing  shared modules", "Restoring previous configurations"},
     {"The uninstallation has finished",
      "You must restart the computer in order for the changes to take effect",
      "You can also return to Windows and restart at a later time"}},
    {0x040C,
     {"Supprimer éléments utilisateur", "Supprimer éléments partagés",
      "Restaurer configurations précédentes"},
     {"Désinstallation terminée.",
      "Pour que les changements soient effectifs, redémarrez l'ordinateur. ",
      "Vous pouvez aussi aller directement dans Windows et redémarrer plus tard."}},
    {0x0410,
     {"Elimina elementi di utenza", "Elimina elementi in comune",
      "Ripristina configurazioni precedenti"},
     {"La disinstallazióne si è conclusa.",
      "Affinchè le modifiche siano efficaci; riavviare il computer",
      "Puoi anche tornare a Windows e riavviare più avanti ."}},
    {0x0C0A,
     {"Eliminar elementos de usuario", "Eliminar elementos compartidos",
      "Restaurar configuraciones anteriores"},
     {"La desinstalación ha concluido.",
      "Para que los cambios tengan efecto, ha de reiniciar su computadora. ",
      "También puede salir directamente a Windows y reiniciar más adelante."}},
};

TEST(WizardResources, ProgressPageTemplateInEachLanguage)
{
    for (const LanguageTexts& texts : kTexts) {
        std::string where = "dialog 101, language " + std::to_string(texts.language);
        Template t;
        std::string problem;
        ASSERT_TRUE(LoadTemplate(IDD_PROGRESS_PAGE, texts.language, &t, &problem)) << where << ": " << problem;
        CheckTemplate(t, {
            {0xFFFF, NULL, true, IDB_SIDE_PICTURE, NULL, kBitmapStyle, 7, 6, 94, 165},
            {IDC_INTRO_TEXT, NULL, false, 0, "Se va a proceder...", kTextStyle, 111, 6, 164, 40},
            {IDC_MARK_USER_MODULES, NULL, true, IDI_STEP_MARK, NULL, kMarkStyle, 118, 49, 20, 20},
            {IDC_MARK_SHARED_MODULES, NULL, true, IDI_STEP_MARK, NULL, kMarkStyle, 118, 62, 20, 20},
            {IDC_MARK_RESTORE, NULL, true, IDI_STEP_MARK, NULL, kMarkStyle, 118, 75, 20, 20},
            {0xFFFF, NULL, false, 0, texts.steps[0], kTextStyle, 139, 49, 136, 8},
            {0xFFFF, NULL, false, 0, texts.steps[1], kTextStyle, 139, 62, 136, 8},
            {0xFFFF, NULL, false, 0, texts.steps[2], kTextStyle, 139, 75, 136, 8},
            {IDC_PROGRESS_BAR, "msctls_progress32", false, 0, "Progress1", 0x50800000, 125, 99, 150, 7},
        }, where);
    }
}

TEST(WizardResources, FinishPageTemplateInEachLanguage)
{
    for (const LanguageTexts& texts : kTexts) {
        std::string where = "dialog 102, language " + std::to_string(texts.language);
        Template t;
        std::string problem;
        ASSERT_TRUE(LoadTemplate(IDD_FINISH_PAGE, texts.language, &t, &problem)) << where << ": " << problem;
        CheckTemplate(t, {
            {0xFFFF, NULL, true, IDB_SIDE_PICTURE, NULL, kBitmapStyle, 7, 6, 94, 165},
            {0xFFFF, NULL, false, 0, texts.finish[0], kTextStyle, 111, 6, 164, 11},
            {0xFFFF, NULL, false, 0, texts.finish[1], kTextStyle, 111, 23, 164, 19},
            {0xFFFF, NULL, false, 0, texts.finish[2], kTextStyle, 111, 46, 164, 19},
        }, where);
    }
}

TEST(WizardResources, NoTemplateOutsideTheFourLanguages)
{
    // German has none; the lookup is exact, so the wizard never shows another language's page.
    for (WORD dialog : {IDD_PROGRESS_PAGE, IDD_FINISH_PAGE}) {
        EXPECT_TRUE(FindResourceExA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(5),
                                    MAKEINTRESOURCEA(dialog), 0x0407) == NULL) << dialog;
    }
}

const BYTE* FindData(LPCSTR type, WORD id, DWORD* size)
{
    HMODULE module = GetModuleHandleA(NULL);
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), type);
    if (found == NULL) return NULL;
    *size = SizeofResource(module, found);
    return static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
}

TEST(WizardResources, SidePictureIs120By257In256Colours)
{
    DWORD size = 0;
    const BYTE* data = FindData(MAKEINTRESOURCEA(2), IDB_SIDE_PICTURE, &size);
    ASSERT_TRUE(data != NULL);
    ASSERT_GE(size, sizeof(BITMAPINFOHEADER));
    BITMAPINFOHEADER info;
    memcpy(&info, data, sizeof info);
    EXPECT_EQ(120, info.biWidth);
    EXPECT_EQ(257, info.biHeight);
    EXPECT_EQ(8, info.biBitCount);
    EXPECT_EQ(static_cast<DWORD>(BI_RLE8), info.biCompression);  // mostly runs: a fifth of the size
    DWORD colours = info.biClrUsed ? info.biClrUsed : 256;
    EXPECT_EQ(256u, colours);
    ASSERT_EQ(info.biSize + colours * 4 + info.biSizeImage, size);

    // Decode the runs: every one of the 257 rows holds exactly 120 pixels, and the data ends
    // with the end-of-bitmap mark, nothing left over.
    const BYTE* rle = data + info.biSize + colours * 4;
    DWORD at = 0, rows = 0, x = 0;
    bool ended = false;
    while (!ended && at + 1 < info.biSizeImage) {
        BYTE count = rle[at], value = rle[at + 1];
        at += 2;
        if (count > 0) {
            x += count;
        } else if (value == 0 || value == 1) {
            EXPECT_EQ(120u, x) << "row " << rows;
            ++rows;
            x = 0;
            ended = value == 1;
        } else {
            ASSERT_NE(2, value) << "no deltas in this picture";
            x += value;
            at += value + (value & 1);
        }
        ASSERT_LE(x, 120u) << "row " << rows;
    }
    EXPECT_TRUE(ended);
    EXPECT_EQ(257u, rows);
    EXPECT_EQ(info.biSizeImage, at);
}

struct IconImage {
    BITMAPINFOHEADER info;
    RGBQUAD palette[16];
    std::vector<BYTE> colourBits, maskBits;
};

bool LoadIconImage(WORD groupId, IconImage* out, std::string* problem)
{
    DWORD size = 0;
    const BYTE* group = FindData(MAKEINTRESOURCEA(14), groupId, &size);
    if (group == NULL || size < 6 + 14) { *problem = "no icon group"; return false; }
    WORD count;
    memcpy(&count, group + 4, 2);
    if (count != 1) { *problem = "not one image: " + std::to_string(count); return false; }
    // One 14-byte entry: width, height, colours, reserved, planes, bit count, bytes, id.
    const BYTE* entry = group + 6;
    WORD bitCount, imageId;
    memcpy(&bitCount, entry + 6, 2);
    memcpy(&imageId, entry + 12, 2);
    if (entry[0] != 32 || entry[1] != 32 || entry[2] != 16 || bitCount != 4) {
        *problem = "group entry is not 32 x 32 in 16 colours";
        return false;
    }
    const BYTE* image = FindData(MAKEINTRESOURCEA(3), imageId, &size);
    if (image == NULL || size != 40 + 64 + 512 + 128) { *problem = "bad image size"; return false; }
    memcpy(&out->info, image, 40);
    memcpy(out->palette, image + 40, 64);
    out->colourBits.assign(image + 104, image + 104 + 512);
    out->maskBits.assign(image + 616, image + 616 + 128);
    return true;
}

TEST(WizardResources, IconsAre32By32In16Colours)
{
    for (WORD id : {IDI_PROGRAM, IDI_STEP_MARK}) {
        IconImage icon;
        std::string problem;
        ASSERT_TRUE(LoadIconImage(id, &icon, &problem)) << "icon " << id << ": " << problem;
        EXPECT_EQ(32, icon.info.biWidth) << id;
        EXPECT_EQ(64, icon.info.biHeight) << id;  // colour image and mask
        EXPECT_EQ(4, icon.info.biBitCount) << id;
    }
}

TEST(WizardResources, StepMarkIsBlackOnTransparent)
{
    IconImage icon;
    std::string problem;
    ASSERT_TRUE(LoadIconImage(IDI_STEP_MARK, &icon, &problem)) << problem;
    int opaque = 0, transparent = 0;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            bool isTransparent = (icon.maskBits[y * 4 + x / 8] >> (7 - x % 8)) & 1;
            BYTE pair = icon.colourBits[y * 16 + x / 2];
            BYTE index = x % 2 ? pair & 0x0F : pair >> 4;
            const RGBQUAD& colour = icon.palette[index];
            if (isTransparent) {
                ++transparent;
                EXPECT_EQ(0, index) << "transparent pixel " << x << "," << y << " must not tint";
            } else {
                ++opaque;
                EXPECT_TRUE(colour.rgbRed == 0 && colour.rgbGreen == 0 && colour.rgbBlue == 0)
                    << "pixel " << x << "," << y;
            }
        }
    }
    // A tick: a minority of the square, but more than a dot.
    EXPECT_GT(opaque, 20);
    EXPECT_GT(transparent, 32 * 32 / 2);
}

}  // namespace

// The language choice, the string lookup in the program's own resources, the block walk and
// the edition names.
#include "app/Edition.h"
#include "app/Language.h"
#include "app/RunContext.h"
#include "app/StringBlock.h"
#include "tests/support/Keys.h"
#include "tests/support/SavedKey.h"
#include "tests/support/TestSupport.h"
#include <gtest/gtest.h>
#include <cstring>
#include <vector>

using namespace testing_support;

namespace {

const WORD kEnglish = 0x0409, kFrench = 0x040C, kItalian = 0x0410, kSpanish = 0x0C0A;
const char kAgentKey[] = "SOFTWARE\\Microsoft\\Plus!\\System Agent\\SAGE\\QELJobs for Win32";

// Every text of the table as CP-1252 bytes, written out here so that the resource compiler's
// and the converter's handling of accents is checked, not assumed.
struct Entry { WORD language; UINT id; const char* text; };
const Entry kTexts[] = {
    {kEnglish, 1, "The uninstallation of the %s application will now begin. Please wait while the "
                  "following operations are being performed."},
    {kEnglish, 2, kAgentKey},
    {kEnglish, 6, "Remove a program from your computer"},
    {kEnglish, 7, "Restart"},
    {kEnglish, 8, "Exit"},
    {kEnglish, 9, "Uninstalling %s "},
    {kEnglish, 10, "%s will be completely removed from your system. Do you wish to continue?"},
    {kEnglish, 11, "qel60_uninst.ini"},
    {kEnglish, 12, "In order to uninstall the e-mail Antivirus, you must first close the "
                   "Exchange/Outlook client."},
    {kEnglish, 13, "Warning"},
    {kFrench, 1, "L'application %s va \xEAtre d\xE9sinstall\xE9" "e. Patientez pendant la r\xE9"
                 "alisation des op\xE9rations suivantes :"},
    {kFrench, 2, kAgentKey},
    {kFrench, 6, "Supprimer programmes de l'ordinateur"},
    {kFrench, 7, "Red\xE9marrer"},
    {kFrench, 8, "Quitter"},
    {kFrench, 9, "D\xE9sinstallation de %s "},
    {kFrench, 10, "%s sera totalement supprim\xE9 du syst\xE8me. Souhaitez-vous poursuivre ?"},
    {kFrench, 11, "qel60_uninst.ini"},
    {kFrench, 12, "Pour d\xE9sinstaller correctement l'anti-virus pour le courrier \xE9lectronique, "
                  "fermez d'abord le client Exchange/Outlook."},
    {kFrench, 13, "Avertissement"},
    {kItalian, 1, "Si procede a disinstallare l'applicazi\xF3ne %s. Attendi mentre si realizzano le "
                  "operazioni successive:"},
    {kItalian, 2, kAgentKey},
    {kItalian, 6, "Elimina i programmi dal tuo computer"},
    {kItalian, 7, "Riavvia"},
    {kItalian, 8, "Esci"},
    {kItalian, 9, "Disinstallazione di %s "},
    {kItalian, 10, "Si eliminer\xE1 completamente dal sistema %s. \xBF Continuare?"},
    {kItalian, 11, "qel60_uninst.ini"},
    {kItalian, 12, "Per poter disinstallare con successo l'antivirus per posta elettronica, si deve "
                   "prima chiudere  Exchange/Outlook."},
    {kItalian, 13, "Avviso"},
    {kSpanish, 1, "Se va a proceder a desinstalar la aplicaci\xF3n %s. Por favor, espere mientras se "
                  "realizan las siguientes operaciones:"},
    {kSpanish, 2, kAgentKey},
    {kSpanish, 6, "Eliminar programas de su computadora"},
    {kSpanish, 7, "Reiniciar"},
    {kSpanish, 8, "Salir"},
    {kSpanish, 9, "Desinstalaci\xF3n de %s "},
    {kSpanish, 10, "Se eliminar\xE1 completamente del sistema %s. \xBF" "Desea continuar?"},
    {kSpanish, 11, "qel60_uninst.ini"},
    {kSpanish, 12, "Para poder desinstalar satisfactoriamente el antivirus para correo electr\xF3nico, "
                   "debe primero cerrar el cliente Exchange/Outlook."},
    {kSpanish, 13, "Aviso"},
};

const char kFill = '\x5A';

// Loads into a buffer of `size` bytes preceded by nothing and followed by 16 sentinel bytes;
// returns the whole buffer so that callers see what lies past the text.
std::vector<char> Load(UINT id, int size, WORD language)
{
    std::vector<char> buffer(size + 16, kFill);
    LoadLocalizedString(GetModuleHandleA(NULL), id, buffer.data(), size, language);
    return buffer;
}

bool Untouched(const std::vector<char>& buffer)
{
    for (char c : buffer)
        if (c != kFill) return false;
    return true;
}

TEST(LoadLocalizedString, EveryTextInEveryLanguage)
{
    for (size_t i = 0; i < sizeof kTexts / sizeof kTexts[0]; ++i) {
        const Entry& e = kTexts[i];
        std::vector<char> buffer = Load(e.id, 260, e.language);
        size_t length = std::strlen(e.text);
        EXPECT_EQ(std::string(e.text), std::string(buffer.data())) << "row " << i;
        // The terminator, and not a byte more.
        for (size_t k = length + 1; k < buffer.size(); ++k)
            ASSERT_EQ(kFill, buffer[k]) << "row " << i << " byte " << k;
    }
}

TEST(LoadLocalizedString, EmptyAbsentAndForeignEntriesLeaveTheBufferAlone)
{
    const UINT ids[] = {0, 3, 4, 5, 14, 15, 16, 17, 31, 32, 100, 0xFFFEF, 0xFFFF0,
                        0x100001,   // would alias id 1 if the block number wrapped round
                        0xFFFFFFFF};
    const WORD languages[] = {kEnglish, kFrench, kItalian, kSpanish};
    for (WORD language : languages)
        for (UINT id : ids)
            EXPECT_TRUE(Untouched(Load(id, 260, language))) << "id " << id << " language " << language;
    // No fallback to another language: German has no table.
    EXPECT_TRUE(Untouched(Load(7, 260, 0x0407)));
    EXPECT_TRUE(Untouched(Load(7, 260, 0x0809)));  // English (UK) is not English (US)
}

TEST(LoadLocalizedString, CutToTheBuffer)
{
    struct Row { UINT id; WORD language; int size; const char* text; } rows[] = {
        {7, kEnglish, 5, "Rest"},
        {7, kEnglish, 1, ""},
        {8, kEnglish, 5, "Exit"},          // exactly fits
        {8, kEnglish, 4, "Exi"},
        {7, kFrench, 4, "Red"},
        {7, kFrench, 5, "Red\xE9"},
        {13, kSpanish, 25, "Aviso"},
        {12, kSpanish, 129, nullptr},      // the longest text, 128 characters: whole
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        std::vector<char> buffer = Load(rows[i].id, rows[i].size, rows[i].language);
        std::string expected = rows[i].text ? rows[i].text : "";
        if (!rows[i].text) {
            for (const Entry& e : kTexts)
                if (e.id == rows[i].id && e.language == rows[i].language) expected = e.text;
            ASSERT_EQ(128u, expected.size()) << "row " << i;
        }
        EXPECT_EQ(expected, std::string(buffer.data())) << "row " << i;
        for (size_t k = rows[i].size; k < buffer.size(); ++k)
            ASSERT_EQ(kFill, buffer[k]) << "row " << i << " byte " << k;
    }
}

TEST(StringBlock, WalkStaysWithinTheData)
{
    // Entries 0 "" , 1 "ab", 2 "", 3 "x", then 12 empty entries.
    std::vector<uint16_t> block = {0, 2, 'a', 'b', 0, 1, 'x'};
    block.resize(block.size() + 12, 0);
    struct Row { size_t units; unsigned index; bool ok; size_t offset; size_t length; } rows[] = {
        {block.size(), 1, true, 2, 2},
        {block.size(), 3, true, 6, 1},
        {block.size(), 0, false, 0, 0},   // empty entry
        {block.size(), 2, false, 0, 0},
        {block.size(), 15, false, 0, 0},
        {block.size(), 16, false, 0, 0},  // no such entry
        {3, 1, false, 0, 0},              // the text runs past the data
        {4, 1, true, 2, 2},               // the text ends exactly at the data's end
        {4, 3, false, 0, 0},              // the block ends before the entry
        {0, 0, false, 0, 0},
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        size_t offset = 99, length = 99;
        EXPECT_EQ(rows[i].ok, FindStringEntry(block.data(), rows[i].units, rows[i].index, &offset, &length))
            << "row " << i;
        if (rows[i].ok) {
            EXPECT_EQ(rows[i].offset, offset) << "row " << i;
            EXPECT_EQ(rows[i].length, length) << "row " << i;
        }
    }
}

class SelectLanguageTest : public ::testing::Test {
protected:
    SavedKey saved{HKEY_LOCAL_MACHINE, kProductKey};
    WORD Select()
    {
        runContext.languageId = 0;
        SelectLanguage();
        return runContext.languageId;
    }
};

TEST_F(SelectLanguageTest, RegistryValueChoosesTheLanguage)
{
    struct Row { DWORD value; WORD language; } rows[] = {
        {0, kSpanish}, {3, kFrench}, {5, kItalian}, {1, kEnglish}, {2, kEnglish},
        {4, kEnglish}, {6, kEnglish}, {0xFFFFFFFF, kEnglish}, {0x0C0A, kEnglish}, {0x103, kEnglish},
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        SetDwordValue(HKEY_LOCAL_MACHINE, kProductKey, "Language", rows[i].value);
        EXPECT_EQ(rows[i].language, Select()) << "row " << i;
    }
}

TEST_F(SelectLanguageTest, ValueOfAnotherTypeIsReadAsItsBytes)
{
    // The text "3" is the bytes '3', 0: not the number 3.
    SetStringValue(HKEY_LOCAL_MACHINE, kProductKey, "Language", "3");
    EXPECT_EQ(kEnglish, Select());
    // A value longer than four bytes cannot be read into the number at all.
    SetStringValue(HKEY_LOCAL_MACHINE, kProductKey, "Language", "abcdefgh");
    EXPECT_EQ(kEnglish, Select());
    // Four bytes of binary data are the number, whatever the type says.
    const BYTE french[4] = {3, 0, 0, 0};
    HKEY key = NULL;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, kProductKey, 0, KEY_ALL_ACCESS, &key));
    RegSetValueExA(key, "Language", 0, REG_BINARY, french, sizeof french);
    RegCloseKey(key);
    EXPECT_EQ(kFrench, Select());
}

TEST_F(SelectLanguageTest, MissingValueOrKeyMeansEnglish)
{
    SetDwordValue(HKEY_LOCAL_MACHINE, kProductKey, "Language", 3);
    DeleteValue(HKEY_LOCAL_MACHINE, kProductKey, "Language");
    EXPECT_EQ(kEnglish, Select());
    DeleteKeyTree(HKEY_LOCAL_MACHINE, kProductKey);
    ASSERT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kProductKey));
    EXPECT_EQ(kEnglish, Select());
}

TEST(Edition, IndexAndName)
{
    struct Row { uint32_t productBit; int index; const char* name; } rows[] = {
        {1, 0, editionNames[0]}, {2, 1, editionNames[1]}, {3, 1, editionNames[1]},
        {4, 2, editionNames[2]}, {5, 2, editionNames[2]}, {7, 2, editionNames[2]},
        {0, -1, allEditionsName}, {8, -1, allEditionsName}, {16, -1, allEditionsName},
        {9, -1, editionNames[0]}, {10, -1, editionNames[1]}, {0xFFFFFFFF, -1, editionNames[2]},
        {0x80000000u, -1, allEditionsName},
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        EXPECT_EQ(rows[i].index, EditionIndex(rows[i].productBit)) << "row " << i;
        EXPECT_STREQ(rows[i].name, EditionName(rows[i].productBit)) << "row " << i;
    }
    EXPECT_STREQ("Morwa antivirus 6.0 Exchange Internet Windows 95/98", editionNames[1]);
    EXPECT_EQ(51u, std::strlen(editionNames[1]));
}

TEST(Edition, FormatWithName)
{
    struct Row { const char* format; const char* expected; } rows[] = {
        {"Uninstalling %s ", "Uninstalling N "},
        {"%s will be removed", "N will be removed"},
        {"no conversion", "no conversion"},
        {"100%% %s", "100% N"},
        {"%s and %s", "N and %s"},   // a second %s has no argument: kept as text
        {"%d %n %", "%d %n %"},      // nothing reads a missing argument
        {"", ""},
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i)
        EXPECT_EQ(rows[i].expected, FormatWithName(rows[i].format, "N")) << "row " << i;
}

}  // namespace

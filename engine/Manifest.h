// Reading the uninstall manifest through the profile reader, with the fixed limits of its keys.
#pragma once
#include <string>

// Read limits in bytes, terminator included: a longer value is cut to limit - 1 characters.
const unsigned kManifestListLimit = 260;     // "Apps", "Modules"
const unsigned kManifestMaskLimit = 15;      // "Mask"
const unsigned kManifestValueLimit = 260;    // "RelativePath", "File%i", "DelDir%i", "DelExt%i",
                                             // "Key%i"
const unsigned kManifestSectionLimit = 30;   // "RegKeyDelSection"
const unsigned kManifestTotalFilesLimit = 8; // "TotalFiles": at most 7 characters

// The value of `key` in `section` of the manifest, or `defaultText` when the file, section or
// key is missing. An empty section name names no section and gives the default, since the
// reader would take it for the lines before the first section.
std::string ReadManifestValue(const char* manifestPath, const std::string& section,
                              const std::string& key, const char* defaultText, unsigned limit);

// The staging folder beside the program, where offered files are downloaded to.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quorin::updater {

// `programFolder` is the program's folder with its trailing separator; the result is that
// folder followed by "InstallFiles" (no trailing separator).
std::string StagingFolderPath(std::string_view programFolder);

// Creates the staging folder unless a folder of that name exists. A failure is not reported
// here: the download then cannot open its file.
void PrepareStagingFolder(const std::string& stagingFolder);

// The file name an offer's URL gives: its text after the last "/", without a query ("?...")
// or fragment ("#..."). Nothing for a name that could lead outside the staging folder, to a
// device or to another file than the one recorded: empty; ending in a dot or blank (so "." and
// ".." too); holding '\', ':', '*', '"', '<', '>', '|' or a control character; or a Windows
// device name with or without an extension, in any case (CON, PRN, AUX, NUL, CONIN$, CONOUT$,
// COM1 to COM9, COM¹ to COM³, LPT1 to LPT9, LPT¹ to LPT³); and for a URL without any "/".
std::optional<std::string> StagedFileName(std::string_view url);

// The staging folder, the separator, and the name.
std::string StagedFilePath(std::string_view stagingFolder, char separator, std::string_view name);

}  // namespace quorin::updater

#include "files/config_file.h"

#include <algorithm>
#include <optional>

#include "base/hex.h"
#include "base/numbers.h"
#include "base/quote.h"
#include "files/profile.h"
#include "model/identity.h"

namespace orv {
namespace {

// Everything a file holds, read and checked before any of it is taken over.
struct FileContents {
    std::array<std::string, 2> versionLines;
    ModuleTypes moduleTypes{};
    Image image{};
    std::vector<std::string> warnings;
};

// The problem with the file, or nullopt when every value is sound.
std::optional<std::string> ParseFileContents(const ProfileDocument& doc, FileContents& out) {
    out.versionLines[0] = doc.Get(kSectionGeneral, kKeyVersionLine1);
    out.versionLines[1] = doc.Get(kSectionGeneral, kKeyVersionLine2);

    if (!doc.HasSection(kSectionModule)) return "the [Module] section is missing.";
    for (int b = 0; b < kBanks; ++b) {
        const std::string key = BankKey(b);
        const auto value = doc.Find(kSectionModule, key);
        if (!value) return "'" + key + "' in [Module] is missing.";
        const auto number = ParseWholeNumber(*value);
        if (!number)
            return "'" + key + "' in [Module] is not a number: " + QuoteForMessage(*value) + ".";
        if (*number < -32768 || *number > 32767)
            return "'" + key + "' in [Module] is not a module type: " + QuoteForMessage(*value) +
                   ".";
        if (*number < 0 || *number > 15)
            return "'" + key + "' in [Module] holds the module type " + std::to_string(*number) +
                   ", which does not exist (module types are 0 to 15).";
        out.moduleTypes[b] = *number;
    }

    if (!doc.HasSection(kSectionEEprom)) return "the [EEprom] section is missing.";
    const auto contents = doc.Find(kSectionEEprom, kKeyContents);
    if (!contents) return "'Contents' in [EEprom] is missing.";
    const std::string& text = *contents;
    for (std::size_t i = 0; i < static_cast<std::size_t>(kImageSize); ++i) {
        const std::size_t pos = 2 * i;
        if (pos >= text.size()) {
            return "the [EEprom] Contents value has " + std::to_string(text.size()) +
                   " hexadecimal digits; " + std::to_string(kContentsDigits) + " are needed.";
        }
        // A single digit left at the very end stands for the whole last byte.
        const std::size_t digits = std::min<std::size_t>(2, text.size() - pos);
        int value = 0;
        for (std::size_t d = 0; d < digits; ++d) {
            const int v = HexDigitValue(text[pos + d]);
            if (v < 0) {
                return "the [EEprom] Contents value has " +
                       QuoteForMessage(text.substr(pos + d, 1)) + " at position " +
                       std::to_string(pos + d + 1) + " (byte " + std::to_string(i) +
                       "), which is not a hexadecimal digit.";
            }
            value = value * 16 + v;
        }
        out.image[i] = static_cast<std::uint8_t>(value);
    }
    return std::nullopt;
}

}  // namespace

std::string BankKey(int bank) {
    return "Bank " + std::to_string(bank + 1);
}

FilePathParts SplitFilePath(std::string_view fullPath) {
    const std::size_t cut = fullPath.find_last_of("\\/");
    if (cut == std::string_view::npos) return {std::string(), std::string(fullPath)};
    return {std::string(fullPath.substr(0, cut + 1)), std::string(fullPath.substr(cut + 1))};
}

std::string ContentsText(const Image& image) {
    return HexBytes(image, "");
}

ReadConfigResult ReadConfigFile(const std::string& path, ConfigRecord& rec,
                                ModuleTypes& moduleTypes, Image& image) {
    std::string bytes;
    if (const FileIoResult io = ReadWholeFile(path, bytes); !io.ok) {
        ReadConfigResult result;
        result.error = "Cannot open '" + path + "': " + io.error + ".";
        return result;
    }
    return ReadConfigText(bytes, path, rec, moduleTypes, image);
}

ReadConfigResult ReadConfigText(std::string_view bytes, const std::string& path, ConfigRecord& rec,
                                ModuleTypes& moduleTypes, Image& image) {
    ReadConfigResult result;
    FileContents contents;
    if (auto problem = ParseFileContents(ProfileDocument::Parse(bytes), contents)) {
        result.error = "Cannot open '" + path + "': " + *problem;
        return result;
    }

    rec.txtVer = contents.versionLines;
    moduleTypes = contents.moduleTypes;
    image = contents.image;
    result.ok = true;
    result.warnings = std::move(contents.warnings);
    result.decode = DecodeImage(rec, moduleTypes, image);
    // Each sentence once, even where the decode repeats its rebuild's warnings.
    auto add = [&](const std::string& w) {
        if (std::find(result.warnings.begin(), result.warnings.end(), w) == result.warnings.end())
            result.warnings.push_back(w);
    };
    for (const auto& w : result.decode.warnings) add(w);
    for (const auto& w : result.decode.build.warnings) add(w);
    if (!result.decode.size.fits) add(TooLargeMessage(result.decode.build));
    for (const auto& c : result.decode.build.cautions) add(c);
    return result;
}

std::string ConfigFileText(std::string_view existing, std::string_view title,
                           const ConfigRecord& rec, const ModuleTypes& moduleTypes,
                           const Image& image) {
    ProfileDocument doc = ProfileDocument::Parse(existing);
    doc.Set(kSectionVersion, kKeyProgram, title);
    doc.Set(kSectionGeneral, kKeyVersionLine1, rec.txtVer[0]);
    doc.Set(kSectionGeneral, kKeyVersionLine2, rec.txtVer[1]);
    for (int b = 0; b < kBanks; ++b)
        doc.Set(kSectionModule, BankKey(b), std::to_string(moduleTypes[b]));
    doc.Set(kSectionEEprom, kKeyContents, ContentsText(image));
    return doc.Serialize();
}

WriteConfigResult WriteConfigFile(const std::string& path, ConfigRecord& rec,
                                  const ModuleTypes& moduleTypes, Image& image,
                                  std::string_view title, const BeforeReplacing& beforeReplacing) {
    WriteConfigResult result;
    const std::string prefix = "Cannot save '" + path + "': ";
    result.build = BuildImage(rec, moduleTypes, image);
    // What the build changed so that the record shows what is stored (times rounded to their
    // steps, blanks the unit does not keep) is said, but saving it loses nothing.
    result.warnings = result.build.warnings;
    result.warnings.insert(result.warnings.end(), result.build.notes.begin(),
                           result.build.notes.end());
    // Settings that cannot work as meant are named, never refused.
    result.warnings.insert(result.warnings.end(), result.build.cautions.begin(),
                           result.build.cautions.end());
    if (!result.build.fits) {
        result.error = prefix + TooLargeMessage(result.build);
        return result;
    }
    if (!result.build.warnings.empty()) {
        // Saving would store values other than the ones shown; let the user correct them first.
        result.error = prefix + "these values cannot be stored as they are:";
        for (const auto& w : result.build.warnings) result.error += "\n  " + w;
        if (!result.build.notes.empty()) {
            result.error += "\nand these fields now show what the unit keeps:";
            for (const auto& n : result.build.notes) result.error += "\n  " + n;
        }
        return result;
    }

    std::string bytes;
    const FileIoResult read = ReadWholeFile(path, bytes);
    if (!read.ok && !read.missing) {
        result.error = prefix + read.error + ".";
        return result;
    }
    const std::string text = ConfigFileText(bytes, title, rec, moduleTypes, image);
    if (read.ok && beforeReplacing) beforeReplacing(bytes, text);
    if (const FileIoResult io = WriteFileAtomically(path, text); !io.ok) {
        result.error = prefix + io.error + ".";
        return result;
    }
    result.ok = true;
    return result;
}

WriteConfigResult WriteConfigFile(const std::string& path, ConfigRecord& rec,
                                  const ModuleTypes& moduleTypes, Image& image) {
    return WriteConfigFile(path, rec, moduleTypes, image, MainWindowCaption());
}

}  // namespace orv

// ReportImageSize: how far the packed part of the image reaches into the configuration area.
#include "image/image.h"

namespace orv {

std::string PercentText(int lastAddress) {
    // Hundredths of a percent from the exact fraction lastAddress * 10000 / 3839, rounded half up.
    // 3839 shares no factor with 10000, so an exact half never occurs and the rule cannot
    // change a result.
    const long long den = kConfigAreaLast;
    long long num = static_cast<long long>(lastAddress) * 10000;
    const bool negative = num < 0;
    if (negative) num = -num;
    const long long hundredths = (2 * num + den) / (2 * den);
    std::string frac = std::to_string(hundredths % 100);
    if (frac.size() < 2) frac.insert(0, "0");
    return (negative && hundredths != 0 ? "-" : "") + std::to_string(hundredths / 100) + "." +
           frac + "%";
}

int WalkPackedPart(const Image& image) {
    // Without a terminator or room for a channel word the part runs to the end of the image.
    PackedReader packed(image);
    for (int d = 0; d < kDictEntries; ++d)
        if (!packed.SkipText()) return kImageSize - 1;
    for (int i = 0; i < kChannelStates; ++i)
        if (!packed.ReadWord() || !packed.SkipText()) return kImageSize - 1;
    return packed.address() - 1;
}

SizeReport ReportImageSize(ConfigRecord& rec, const ModuleTypes& moduleTypes, Image& image,
                           BuildResult* build) {
    BuildResult b = BuildImage(rec, moduleTypes, image);
    SizeReport report;
    // When the configuration does not fit, the image was left alone: report the builder's figure.
    report.lastAddress = b.fits ? WalkPackedPart(image) : b.lastAddress;
    report.percentText = PercentText(report.lastAddress);
    report.fits = b.fits;
    report.overBy = b.overBy();
    if (build) *build = std::move(b);
    return report;
}

}  // namespace orv

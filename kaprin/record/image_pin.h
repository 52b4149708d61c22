// Pinned images: a station flashes an image only when its SHA-256 is the one it was told
// to expect. The expected hash comes, first found first, from an explicit pin, from a file
// beside the image named after it with ".sha256" added, or from "SHA256SUMS" in the image's
// folder; both files in the format sha256sum writes ("<hash>  <name>" or "<hash> *<name>").
#pragma once

#include <optional>
#include <string>

namespace kaprin::record {

struct PinRule {
    std::string expected;  // an explicit pin (64 hex digits), or empty
    bool required = false; // refuse an image that no pin names
};

struct PinVerdict {
    bool allowed = false;
    std::string actual;   // the image's SHA-256; empty when it cannot be read
    std::string expected; // the pin that was applied, or empty
    std::string source;   // where the pin came from: "--expect-sha256", or a file's path
    std::string refusal;  // why the image is refused, for the operator
};

// The pin as 64 lower-case hex digits, or nothing when `text` is not a SHA-256.
std::optional<std::string> NormalisePin(const std::string& text);

// The hash a sha256sum-format text gives for the file named `name` (the last path
// component is compared); nothing when no line names it.
std::optional<std::string> PinFromSumsText(const std::string& text, const std::string& name);

// Checks `image` against the rule and the checksum files beside it.
PinVerdict CheckImagePin(const std::string& image, const PinRule& rule);

} // namespace kaprin::record

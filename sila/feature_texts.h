// The feature definitions (FDL) the server implements, as checked in (the
// standard's core features in third_party/sila2/, ours in resources/sila/),
// and their fully qualified identifiers.
#pragma once

#include <string>
#include <vector>

struct FeatureText {
  const char* file;
  const char* text;
};

// Generated at build time from those files.
const std::vector<FeatureText>& FeatureTexts();

// "originator/category/Identifier/vMajor" from the root element's attributes
// and the feature's Identifier; empty when the text is not a feature.
std::string FullyQualifiedFeatureId(const std::string& fdl);

// The FDL whose identifier is id, or null.
const char* FindFeatureDefinition(const std::string& id);

// Every implemented feature's identifier, in a fixed order.
std::vector<std::string> ImplementedFeatureIds();

// Identifiers inside our own feature, as errors and parameters are named.
inline constexpr char kReaderFeatureId[] = "de.platovix/instruments/PlateReaderController/v1";

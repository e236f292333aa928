#include <regex>

#include "sila/feature_texts.h"

namespace {

std::string Attribute(const std::string& element, const std::string& name) {
  const std::regex pattern("\\s" + name + "\\s*=\\s*\"([^\"]*)\"");
  std::smatch match;
  return std::regex_search(element, match, pattern) ? match[1].str() : std::string();
}

}  // namespace

std::string FullyQualifiedFeatureId(const std::string& fdl) {
  const size_t open = fdl.find("<Feature");
  if (open == std::string::npos) return {};
  const size_t close = fdl.find('>', open);
  const std::string root = fdl.substr(open, close - open);
  // The feature's own Identifier is the first one after the root element.
  std::smatch match;
  const std::string rest = fdl.substr(close);
  if (!std::regex_search(rest, match,
                         std::regex("<Identifier>\\s*([A-Za-z0-9]+)\\s*</Identifier>")))
    return {};
  const std::string version = Attribute(root, "FeatureVersion");
  const std::string major = version.substr(0, version.find('.'));
  std::string category = Attribute(root, "Category");
  if (category.empty()) category = "none";
  return Attribute(root, "Originator") + "/" + category + "/" + match[1].str() + "/v" + major;
}

const char* FindFeatureDefinition(const std::string& id) {
  for (const FeatureText& feature : FeatureTexts()) {
    if (FullyQualifiedFeatureId(feature.text) == id) return feature.text;
  }
  return nullptr;
}

std::vector<std::string> ImplementedFeatureIds() {
  std::vector<std::string> ids;
  for (const FeatureText& feature : FeatureTexts())
    ids.push_back(FullyQualifiedFeatureId(feature.text));
  return ids;
}

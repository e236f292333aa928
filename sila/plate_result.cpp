#include "sila/plate_result.h"

#include <ctime>

namespace {

// SiLA has no optional value: a number that cannot be computed is an empty list.
void AddOptional(const std::optional<double>& value,
                 google::protobuf::RepeatedPtrField<silafw::Real>* list) {
  if (value) list->Add()->set_value(*value);
}

void FillGroup(const analysis::GroupResult& group, prc::DataType_Group_Group_Struct* out) {
  out->mutable_name()->set_value(group.name);
  out->mutable_role()->set_value(analysis::WellRoleName(group.role));
  for (int well : group.wells) out->add_wells()->set_value(analysis::WellName(well));
  AddOptional(group.mean, out->mutable_mean());
  AddOptional(group.sd, out->mutable_sd());
  AddOptional(group.cv, out->mutable_cv());
  if (group.role == analysis::WellRole::Standard)
    AddOptional(group.expected, out->mutable_nominal());
  AddOptional(group.concentration, out->mutable_concentration());
  AddOptional(group.recovery, out->mutable_recovery());
  out->mutable_flags()->set_value(analysis::GroupFlagText(group.flags));
}

}  // namespace

void SetTimestamp(std::chrono::system_clock::time_point when, silafw::Timestamp* stamp) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  stamp->set_year(static_cast<uint32_t>(utc.tm_year + 1900));
  stamp->set_month(static_cast<uint32_t>(utc.tm_mon + 1));
  stamp->set_day(static_cast<uint32_t>(utc.tm_mday));
  stamp->set_hour(static_cast<uint32_t>(utc.tm_hour));
  stamp->set_minute(static_cast<uint32_t>(utc.tm_min));
  stamp->set_second(static_cast<uint32_t>(utc.tm_sec));
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch());
  stamp->set_millisecond(static_cast<uint32_t>(ms.count() % 1000));
  stamp->mutable_timezone()->set_hours(0);
  stamp->mutable_timezone()->set_minutes(0);
}

template <typename Out>
void FillAnalysis(const analysis::PlateAnalysis& analysis, Out* out) {
  for (const analysis::GroupResult& group : analysis.groups) {
    FillGroup(group, out->add_groups()->mutable_group());
  }
  out->mutable_unit()->set_value(analysis.unit);
  prc::DataType_Verdict_Verdict_Struct* verdict = out->mutable_verdict()->mutable_verdict();
  // An assay always has QC rules; an analysis without a verdict has not passed.
  const bool passed = analysis.qc && analysis.qc->passed;
  verdict->mutable_verdict()->set_value(analysis::VerdictName(passed));
  if (!analysis.qc) {
    auto* entry = verdict->add_rules();
    entry->mutable_rule()->set_value("qc");
    entry->mutable_passed()->set_value(false);
    entry->mutable_detail()->set_value("QC: the analysis gave no verdict");
    return;
  }
  for (const analysis::QcRuleResult& rule : analysis.qc->rules) {
    auto* entry = verdict->add_rules();
    entry->mutable_rule()->set_value(rule.rule);
    entry->mutable_passed()->set_value(rule.passed);
    entry->mutable_detail()->set_value(rule.detail);
  }
}

template void FillAnalysis(const analysis::PlateAnalysis&, prc::MeasureAssay_Responses*);
template void FillAnalysis(const analysis::PlateAnalysis&,
                           prc::DataType_RateAnalysis_RateAnalysis_Struct*);

void FillCurve(const analysis::CurveFit& fit,
               prc::DataType_StandardCurve_StandardCurve_Struct* out) {
  out->mutable_model()->set_value(analysis::CurveModelName(fit.model));
  out->mutable_weighting()->set_value(analysis::WeightingName(fit.weighting));
  out->mutable_failure()->set_value(fit.fitted ? "" : fit.failure);
  if (!fit.fitted) return;
  for (const analysis::FitParameter& parameter : fit.parameters) {
    auto* entry = out->add_parameters();
    entry->mutable_name()->set_value(parameter.name);
    entry->mutable_value()->set_value(parameter.value);
  }
  out->add_rsquared()->set_value(fit.r2);
}

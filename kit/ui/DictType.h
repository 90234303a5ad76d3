#pragma once
#include <cstdint>

namespace kavro {

// The server data dictionaries a picker opens. The number never leaves the phone (the server hears
// the dictionary's name); a number outside the list is kept as it is and served as the last
// dictionary's fallback (entry time's name, the default title, the plain request).
enum class DictType : std::int32_t {
  JobArea = 0,
  JobFunction = 1,
  Industry = 2,
  PublicationDate = 3,
  SalaryRange = 4,
  Education = 5,
  JobTerm = 6,
  WorkExperience = 7,
  CompanyType = 8,
  Landmark = 9,
  SalaryArea = 10,
  SalaryFunction = 11,
  SalaryIndustry = 12,
  ResumeHukou = 13,
  ResumeLocation = 14,
  ResumeGender = 15,
  ResumeSituation = 16,
  JobCredentials = 17,
  ResumeYearSalary = 18,
  ResumeMobileArea = 19,
  ResumeMajor = 20,
  ResumeDegree = 21,
  CompanySize = 22,
  ResumeOverseas = 23,
  ForeignLanguage = 24,
  EnglishLevel = 25,
  JapaneseLevel = 26,
  ResumeAbility = 27,
  EntryTime = 28,
  ShowResume = 29,
  CampusFamousCompanyIndustry = 30,
  CampusMajor = 31,
};

constexpr std::int32_t ToInt(DictType type) { return static_cast<std::int32_t>(type); }

// Dictionaries whose levels come from the area request (job area, hukou, resume location).
constexpr bool IsAreaDict(DictType type) {
  return type == DictType::JobArea || type == DictType::ResumeHukou || type == DictType::ResumeLocation;
}

}  // namespace kavro

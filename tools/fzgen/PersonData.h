#pragma once
// Name and place lists the synthetic population draws from. Lists are ordered from the most
// to the least frequent entry.

#include <string>
#include <string_view>
#include <vector>

namespace fzgen::data {

struct Patronymic {
    std::string male;
    std::string female;
};

const std::vector<std::string>& surnames(); // male forms, lower case
const std::vector<std::string>& maleNames();
const std::vector<std::string>& femaleNames();
const std::vector<Patronymic>& patronymics();

std::string_view country();
const std::vector<std::string>& otherCountries();
std::string_view region();
const std::vector<std::string>& otherRegions();
std::string_view city();
const std::vector<std::string>& cityDistricts();
const std::vector<std::string>& ruralDistricts();
const std::vector<std::string>& towns();
const std::vector<std::string>& villages();
const std::vector<std::string>& cityStreets(); // a few hundred
const std::vector<std::string>& villageStreets();
const std::vector<std::string>& houseLetters();

} // namespace fzgen::data

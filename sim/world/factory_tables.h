#pragma once
// The amplifier tables a unit leaves the factory with (config.txt,
// ventola.txt, filter.txt), seeded into an empty sandbox; files already in
// the root are kept.
#include <string>

bool SeedFactoryAmplifierTables(const std::string &root);

// The texts of the three files.
std::string FactoryConfigText();
std::string FactoryVentolaText();
std::string FactoryFilterText();

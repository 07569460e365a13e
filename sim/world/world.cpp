#include "sim/world/world.h"

double AntennaLoad::XAt(double f) const {
  if (!scaleWithFreq || refFreqHz <= 0 || f <= 0) return x;
  return x >= 0 ? x * f / refFreqHz : x * refFreqHz / f;
}

RfSource World::Rf() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return rf_;
}

void World::SetRf(const RfSource &rf) {
  std::lock_guard<std::mutex> lock(mutex_);
  rf_ = rf;
}

AntennaLoad World::Load(int antenna) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return loads_[antenna < 0 || antenna > 2 ? 0 : antenna];
}

void World::SetLoad(int antenna, const AntennaLoad &load) {
  if (antenna < 0 || antenna > 2) return;
  std::lock_guard<std::mutex> lock(mutex_);
  loads_[antenna] = load;
}

int World::AmpPowerClass() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return ampPowerClass_;
}

void World::SetAmpPowerClass(int watts) {
  std::lock_guard<std::mutex> lock(mutex_);
  ampPowerClass_ = watts;
}

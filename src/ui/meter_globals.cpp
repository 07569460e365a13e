#include "ui/state.h"

std::atomic<int32_t> number_ofStep_meter_FWD{0};
std::atomic<int32_t> number_ofStep_meter_REFL{0};
std::atomic<int32_t> number_ofStep_meter_SWR{0};
std::atomic<int32_t> number_ofStep_meter_PW{0};
std::atomic<int32_t> fattoremedia{0};
std::atomic<double> PeakDecrement{0};
std::atomic<int32_t> PeakDecrementTime{0};
std::atomic<int32_t> TimerPeakSec{0};

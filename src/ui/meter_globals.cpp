#include "ui/state.h"

std::atomic<int32_t> number_ofStep_meter_FWD{0};
std::atomic<int32_t> number_ofStep_meter_REFL{0};
std::atomic<int32_t> number_ofStep_meter_SWR{0};
std::atomic<int32_t> number_ofStep_meter_PW{0};
std::atomic<int32_t> fattoremedia{0};
std::atomic<double> PeakDecrement{0};
std::atomic<int32_t> PeakDecrementTime{0};
std::atomic<int32_t> TimerPeakSec{0};

std::atomic<int32_t> SchermoWidth{0}, SchermoHeight{0}, divX{0}, divY{0}, borderLeft{0},
    borderRight{0}, borderTop{0}, borderBottom{0}, xRangeStart{0}, xRangeEnd{0}, LabelBorder{0};
std::atomic<int32_t> r_x{0}, r_y{0}, bound_left{0}, bound_right{0}, b_top{0}, b_bottom{0};

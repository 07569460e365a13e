#pragma once
// The information page (long press of VIEW): versions, identification,
// readings, temperatures, network and link state.
struct Works;
struct TavoParamsRecord;

// While the page is open the extended-IO link runs (its data is shown).
// Called by the timer before it composes the screen, outside the display
// lock: starting the link may first wait for a stopping one to end.
void KeepInfoPageLink(Works *works);

// The page's rows over the "status" background while bit 0 of uiFlags is
// set; `params` is the transceiver record of this timer cycle.
void ViewStatusInfo(Works *works, const TavoParamsRecord &params);

#pragma once
// Resource numbers shared by the window's code and its resource script (plain defines, as the
// resource compiler reads them).

#define DETECTOR_IDI_APP 1
#define DETECTOR_IDR_ART_LOGO 101
#define DETECTOR_IDR_ART_DEVICE 102
#define DETECTOR_IDR_ART_DATABASE 103

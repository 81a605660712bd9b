#pragma once
// photoshop-sim's version, shared by its version resource and by the copy that plays another
// host version (plain macros: the resource compiler reads this file too).

#define PHOTOSHOP_SIM_VERSION_NUMBERS 21, 2, 1, 265
#define PHOTOSHOP_SIM_VERSION_TEXT "21.2.1.265"
#define PHOTOSHOP_SIM_COMPANY "Portolan"
#define PHOTOSHOP_SIM_DESCRIPTION "Photoshop stand-in for the Portolan tests"
#define PHOTOSHOP_SIM_INTERNAL_NAME "photoshop-sim"
#define PHOTOSHOP_SIM_FILE_NAME "photoshop-sim.exe"
#define PHOTOSHOP_SIM_PRODUCT "Adobe Photoshop 2020 (stand-in)"

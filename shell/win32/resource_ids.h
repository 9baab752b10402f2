// Identifiers of the program's resources (shared by the .rc file and the code).
#pragma once

#define QELVA_IDI_APP 1
#define QELVA_IDB_ABOUT 101

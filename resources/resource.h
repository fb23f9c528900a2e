// Identifiers shared by the resource script and the code.
#pragma once

#define IDI_QUILLET 100
#define IDS_DESCRIPTION 1
#define IDD_CONFIG 2003
#define IDC_DELAY 1000
#define IDC_BIRD_COUNT 1001
#define IDC_UPDOWN 110

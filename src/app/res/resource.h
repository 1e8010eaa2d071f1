#pragma once
#define IDI_APP 1
#define IDI_REFRESH 101
#define IDI_HIDE 102
#define IDI_SHOW 103

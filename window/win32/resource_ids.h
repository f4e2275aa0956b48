// The identifiers of the window program's own resources (besides its texts,
// whose numbers desktop::resource_id gives). Read by the resource compiler
// and by the window's code.
#pragma once

// The program icon: the lowest icon number, so that Explorer's "vekdc.exe,0"
// (the first icon of the file) is it.
#define IDI_PROGRAM 128
// The tree's pictures, each with its selected form.
#define IDI_FOLDER 131
#define IDI_FOLDER_SELECTED 132
#define IDI_DRIVE 133
#define IDI_DRIVE_SELECTED 134
#define IDI_ENCRYPTED 135
#define IDI_ENCRYPTED_SELECTED 136
#define IDI_REMOVABLE 140
#define IDI_REMOVABLE_SELECTED 142
#define IDI_CDROM 143
#define IDI_CDROM_SELECTED 144

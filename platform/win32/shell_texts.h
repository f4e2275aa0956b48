// The string resources through which Explorer shows a window program's verb
// and file type in the user's language ("@vekdc.exe,-30000" in the
// registry). The installer reads these numbers from here.
#pragma once

#define VEKDC_IDS_DECODE_VERB 30000
#define VEKDC_IDS_ENCRYPTED_FILE_TYPE 30001

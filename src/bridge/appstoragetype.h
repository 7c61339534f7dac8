#pragma once

// Where a phone keeps installed applications: in /data/app, in /mnt/asec (native apps2sd), on the ext
// partition /sd-ext or in the old-style /system/sd. The storage probe answers one of them.
enum class AppStorageType { Internal, Asec, SdExt, SystemSd };

#pragma once

// The backups run in the core; the applications window reaches them here.
#include "apps/appbackups.h"

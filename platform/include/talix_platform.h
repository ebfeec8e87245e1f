// The platform the system runs on: the one header through which the product
// reaches it.
#pragma once

#include "talix_platform/types.h"
#include "talix_platform/log.h"
#include "talix_platform/memory.h"
#include "talix_platform/structures.h"
#include "talix_platform/database.h"
#include "talix_platform/text.h"
#include "talix_platform/timedate.h"
#include "talix_platform/dxl.h"
#include "talix_platform/mime.h"
#include "talix_platform/formula.h"
#include "talix_platform/views.h"
#include "talix_platform/lists.h"
#include "talix_platform/attach.h"
#include "talix_platform/enumerate.h"
#include "talix_platform/library.h"
#include "talix_platform/names.h"
#include "talix_platform/host.h"
#include "talix_platform/input_file.h"

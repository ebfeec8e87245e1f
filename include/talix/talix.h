// The public interface of the talix library: the session, the rich-text
// item and the chunk, and the library's version.
#pragma once

#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix/version.h"

#include "transfer/export.h"

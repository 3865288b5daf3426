#include "transfer/columnspec.h"

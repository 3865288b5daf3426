#include "transfer/inputmap.h"

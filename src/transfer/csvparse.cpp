#include "transfer/csvparse.h"

#include "transfer/csv.h"

#include "transfer/xlsxwriter.h"

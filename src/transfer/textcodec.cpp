#include "transfer/textcodec.h"

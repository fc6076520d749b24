#include "storage/scp_reader.h"

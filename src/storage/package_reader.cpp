#include "storage/package_reader.h"

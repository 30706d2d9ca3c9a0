#pragma once
// What differs between a table file and an encoder's configuration, added to a failed
// verify's result.

#include "image/config_image.h"
#include "report.h"

void AddImageDifference(TResult& result, const TImageBytes& expected, const TImageBytes& actual);

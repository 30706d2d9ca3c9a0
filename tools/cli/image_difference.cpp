#include "image_difference.h"

#include <QJsonArray>

// The offsets of the differing bytes, for machines; people keep the one message.
void AddImageDifference(TResult& result, const TImageBytes& expected, const TImageBytes& actual) {
  QJsonArray offsets;
  for (std::size_t i = 0; i < expected.size(); ++i)
    if (expected[i] != actual[i])
      offsets.append(static_cast<int>(i));
  result.Add("differing_bytes", offsets);
}

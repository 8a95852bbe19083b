// The content codings a client accepts, as the HTTP server is told them.
#ifndef PYX_DEVHOST_ACCEPT_ENCODING_H_
#define PYX_DEVHOST_ACCEPT_ENCODING_H_

#include <string>
#include <string_view>

namespace Vane::DevHost {

// The Accept-Encoding header value `header` without its brotli entries, the others kept in
// order with their parameters ("gzip, deflate, br" -> "gzip, deflate"). The HTTP library
// answers brotli at its slowest setting, seconds for a few megabytes of JSON, where gzip takes
// milliseconds; a client offered nothing else gets the answer uncompressed. The library picks
// brotli when the letters "br" occur anywhere in the header, so every entry whose coding holds
// them goes.
std::string WithoutBrotli(std::string_view header);

}  // namespace Vane::DevHost

#endif  // PYX_DEVHOST_ACCEPT_ENCODING_H_

#pragma once

// The coding steps whose constants fold into the generated code are forced inline. A coverage
// build (TOVRASEL_COVERAGE) keeps them ordinary functions, so that their branches count once each
// rather than once per call site.

#ifdef TOVRASEL_COVERAGE
#define ASN1_FORCED_INLINE
#else
#define ASN1_FORCED_INLINE [[gnu::always_inline]]
#endif

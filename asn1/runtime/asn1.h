#pragma once

// The whole value model with its value-notation stream operators (<< prints a value, >> reads
// one): what generated message classes and coders include.

#include "asn1/runtime/abstract_data.h"
#include "asn1/runtime/abstract_string.h"
#include "asn1/runtime/bit_map.h"
#include "asn1/runtime/bit_string.h"
#include "asn1/runtime/bmp_string.h"
#include "asn1/runtime/boolean.h"
#include "asn1/runtime/choice.h"
#include "asn1/runtime/const_visitor.h"
#include "asn1/runtime/enumerated.h"
#include "asn1/runtime/field_vector.h"
#include "asn1/runtime/generalized_time.h"
#include "asn1/runtime/integer.h"
#include "asn1/runtime/integer_with_named_number.h"
#include "asn1/runtime/null.h"
#include "asn1/runtime/object_identifier.h"
#include "asn1/runtime/octet_string.h"
#include "asn1/runtime/open_data.h"
#include "asn1/runtime/sequence.h"
#include "asn1/runtime/sequence_of.h"
#include "asn1/runtime/utility.h"
#include "asn1/runtime/value_notation_reader.h"
#include "asn1/runtime/value_notation_writer.h"
#include "asn1/runtime/visitor.h"

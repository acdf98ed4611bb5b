#pragma once

#include <QString>

#include <cstdint>

// The program's own note, in its settings, that a converter's update is under way. The updater
// writes it before its first write to the device and clears it only once every image is
// verified, so a converter left part-way (by a fault, or by a crash of the program) counts as
// not current and is offered the update again, without reading its chips back. Callable from
// any thread.
//
// The classic converters show no serial number, so the note is keyed by product id: two
// converters of one model share it, which errs towards offering an update.
namespace ConverterUpdateRecord {

// The settings key of a converter's note.
QString keyFor(std::uint16_t productId);
// False when the note could not be stored: an update must not start without it.
bool markUnderWay(std::uint16_t productId);
void clear(std::uint16_t productId);
bool isUnderWay(std::uint16_t productId);

} // namespace ConverterUpdateRecord

#pragma once

#include <QString>

#include <cstdint>

// The program's own note, in its settings, that a converter's update is under way. The updater
// writes it before its first write to the device and clears it only once every image is
// verified, so a converter left part-way (by a fault, or by a crash of the program) counts as
// not current and is offered the update again, without reading its chips back. Callable from
// any thread.
//
// The note is keyed by the converter's USB serial number; a converter without one (an empty
// serial) is keyed by its product id, and then shares the note with every converter of its
// model. A note under the product id counts for every converter of that model, serial or not:
// it may have been written for any of them (by a run before serials were read, or when the
// serial could not be read), so it errs towards offering the update.
namespace ConverterUpdateRecord {

// The settings key of a converter's note: ".../serial-<serial>" (percent-encoded beyond
// letters, digits and "-._~"), or ".../product-xxxx" for an empty serial.
QString keyFor(std::uint16_t productId, const QString& serial = {});
// False when the note could not be stored: an update must not start without it.
bool markUnderWay(std::uint16_t productId, const QString& serial = {});
// Clears the converter's note and its model's: once this converter is complete, a model's
// note kept for it would offer every converter of the model the update for good.
void clear(std::uint16_t productId, const QString& serial = {});
// The converter's own note or its model's.
bool isUnderWay(std::uint16_t productId, const QString& serial = {});

} // namespace ConverterUpdateRecord

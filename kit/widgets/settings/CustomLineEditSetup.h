#pragma once

class CustomLineEdit;

// Wires a CustomLineEdit so that editingFinishedWithNewText tells a finished edit that changed
// the text from one that did not: the text is remembered now, whenever the field gains the
// focus and after every finished edit; typing marks the edit as started.
void setUpCustomLineEdit(CustomLineEdit* edit);

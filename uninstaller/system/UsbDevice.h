#pragma once
// USB printer device nodes, removed with their USB parent device.

// Removes the devices whose hardware identifier begins with `hardwareId`,
// or, when that is empty, with the identifier of the vendor and product
// numbers.
void RemoveUsbPrinterDevice(const char* hardwareId, unsigned vendor, unsigned product);

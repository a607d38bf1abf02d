// Table-driven CRC steps: each takes the running CRC and one byte; the caller picks the initial
// value and any final complement.
#pragma once

#include <cstddef>
#include <cstdint>

// CRC-16/ARC step (reflected 0xA001): unit frames, initial value 0.
uint16_t crc16_update(uint16_t crc, uint8_t byte);
// CRC-32 step (reflected 0xEDB88320): start at 0xFFFFFFFF and complement the result.
uint32_t crc32_update(uint32_t crc, uint8_t byte);
uint16_t crc16_1021_update(uint16_t crc, uint8_t byte);
uint16_t crc16_8408_update(uint16_t crc, uint8_t byte);
uint16_t crc16_a6bc_update(uint16_t crc, uint8_t byte);
uint16_t crc16_8005_step(uint16_t crc, uint8_t low, uint8_t high);

// The standard CRC-32 of a whole buffer (initial value and complement applied).
uint32_t crc32_of(const void* data, size_t size);

#pragma once
// File-system operations that saving posts needs.

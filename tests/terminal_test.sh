#!/usr/bin/env bash
# (to be written)
exit 77

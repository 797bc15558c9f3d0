# -*- coding: utf-8 -*-
# Copyright: ZORVEL Custom Config developers
# MIT License (see LICENSE or https://opensource.org/licenses/MIT)
# SPDX-License-Identifier: MIT

from __future__ import absolute_import, division, print_function
__metaclass__ = type


class ModuleDocFragment(object):
    """The option with which every module of the collection reaches zorvel."""

    DOCUMENTATION = r'''
options:
  executable:
    description:
      - The C(zorvel) program to run; by default C(zorvel) on C(PATH).
    type: path
requirements:
  - zorvel, the command line of ZORVEL Custom Config, on the managed host
'''
